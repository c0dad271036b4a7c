# The tests' driver whose requests complete late (a cancel only marks them).
add_library(win32_test_hold_driver STATIC ${CMAKE_CURRENT_LIST_DIR}/hold_driver/hold_driver.cpp)
target_include_directories(win32_test_hold_driver PUBLIC ${CMAKE_CURRENT_LIST_DIR}/hold_driver)
target_link_libraries(win32_test_hold_driver PUBLIC platform_kernel)
target_link_libraries(win32_tests PRIVATE win32_test_hold_driver)
