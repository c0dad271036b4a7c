# The kernel's registry calls behind a plain interface, for the tests that cross both sides.
add_library(win32_test_kernel_registry STATIC
    ${CMAKE_CURRENT_LIST_DIR}/kernel_registry/kernel_registry.cpp)
target_include_directories(win32_test_kernel_registry PUBLIC ${CMAKE_CURRENT_LIST_DIR}/kernel_registry)
target_link_libraries(win32_test_kernel_registry PUBLIC platform_kernel)
target_link_libraries(win32_tests PRIVATE win32_test_kernel_registry)
