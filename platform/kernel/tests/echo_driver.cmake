# The tests' own echo/queue driver, linked into the kernel's and the user-mode services' tests.
add_library(kernel_test_echo_driver STATIC ${CMAKE_CURRENT_SOURCE_DIR}/tests/echo_driver/echo_driver.cpp)
target_include_directories(kernel_test_echo_driver PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/tests/echo_driver)
target_link_libraries(kernel_test_echo_driver PUBLIC platform_kernel)
target_link_libraries(kernel_tests PRIVATE kernel_test_echo_driver)
