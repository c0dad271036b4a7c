# The tests' own bus driver (PDOs) and function driver (FDOs) for the Plug and Play manager's tests.
add_library(kernel_test_pnp_drivers STATIC
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/pnp_drivers/test_bus.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/pnp_drivers/test_function.cpp)
target_include_directories(kernel_test_pnp_drivers PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/tests/pnp_drivers)
target_link_libraries(kernel_test_pnp_drivers PUBLIC platform_kernel)
target_link_libraries(kernel_tests PRIVATE kernel_test_pnp_drivers)
