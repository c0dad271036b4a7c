# The driver framework's USB layer is built into wdm_framework (src/usb_*.cpp); it needs the USBD
# helper library. Its tests run in their own executable on the bus stand-in and the simulated board.
target_link_libraries(wdm_framework PUBLIC platform_usb)

file(GLOB WDM_USB_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/usb/*_test.cpp)
mq_add_test_executable(wdm_usb_tests
    LABELS unit
    SOURCES ${WDM_USB_TESTS}
    LIBS wdm_framework platform_usb sim_mq5120)
