# The device I/O tests run on the kernel tests' echo/queue driver.
target_link_libraries(win32_tests PRIVATE kernel_test_echo_driver)
