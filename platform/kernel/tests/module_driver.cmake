# A driver module loaded by path in the loader tests.
add_library(kernel_test_module_driver MODULE ${CMAKE_CURRENT_SOURCE_DIR}/tests/module_driver/module_driver.cpp)
target_link_libraries(kernel_test_module_driver PRIVATE platform_kernel)
set_target_properties(kernel_test_module_driver PROPERTIES PREFIX "" CXX_VISIBILITY_PRESET hidden)
add_dependencies(kernel_tests kernel_test_module_driver)
target_compile_definitions(kernel_tests PRIVATE
    MQ_KERNEL_TEST_MODULE="$<TARGET_FILE:kernel_test_module_driver>")
