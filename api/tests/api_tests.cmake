# Unit and driver round-trip tests of the API library, and the check that an outside program
# builds against the installed library with pkg-config.
file(GLOB API_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/api_*_test.cpp)
mq_add_test_executable(api_tests
    LABELS unit
    SOURCES ${API_TESTS}
    LIBS hxdaapi32 hxmem32 platform_win32 hxda_protocol)
if(TARGET api_tests)
    target_include_directories(api_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../src
        ${CMAKE_SOURCE_DIR}/boardext/tests ${CMAKE_SOURCE_DIR}/boardext/common/include)
endif()

# The installed library serves a program outside the tree. Sanitizer builds skip it: the outside
# program is built without the sanitizer runtime.
if(NOT MQ_SANITIZE)
    add_test(NAME api_install_pkgconfig
        COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
                -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/install_check
                -DSOURCE=${CMAKE_CURRENT_LIST_DIR}/outside_program.cpp
                -P ${CMAKE_CURRENT_LIST_DIR}/install_check.cmake)
    set_tests_properties(api_install_pkgconfig PROPERTIES LABELS "unit" TIMEOUT 300)
endif()

# Round trips onto the tests' own recording driver on the kernel stand-in.
add_library(api_test_recording_driver STATIC
    ${CMAKE_CURRENT_LIST_DIR}/recording_driver/recording_driver.cpp)
target_include_directories(api_test_recording_driver PUBLIC
    ${CMAKE_CURRENT_LIST_DIR}/recording_driver)
target_link_libraries(api_test_recording_driver PUBLIC platform_kernel)
# Streaming onto the tests' own scripted streaming driver on the kernel stand-in.
add_library(api_test_streaming_driver STATIC
    ${CMAKE_CURRENT_LIST_DIR}/streaming_driver/streaming_driver.cpp)
target_include_directories(api_test_streaming_driver PUBLIC
    ${CMAKE_CURRENT_LIST_DIR}/streaming_driver)
target_link_libraries(api_test_streaming_driver PUBLIC platform_kernel hxda_protocol)
file(GLOB API_E2E_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/e2e_*_test.cpp)
mq_add_test_executable(api_e2e_tests
    LABELS e2e
    SOURCES ${API_E2E_TESTS}
    LIBS hxdaapi32 hxmem32 platform_win32 hxda_protocol api_test_recording_driver
         api_test_streaming_driver)
if(TARGET api_e2e_tests)
    target_include_directories(api_e2e_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../src)
endif()

# The end-to-end tests bind the board families' extension libraries by name at run time.
foreach(tests api_tests api_e2e_tests)
    if(TARGET ${tests})
        add_dependencies(${tests} Mq5120 Mq5200 Mq5130 MQ5310)
    endif()
endforeach()

# End to end on the simulated machine: the machine module and SetupApi are loaded by name, and a
# second program checks what a fresh process sees.
add_executable(api_open_board_child ${CMAKE_CURRENT_LIST_DIR}/open_board_child.cpp)
target_link_libraries(api_open_board_child PRIVATE hxdaapi32 hxmem32)
if(TARGET api_e2e_tests)
    add_dependencies(api_e2e_tests MqMachine SetupApi api_open_board_child)
    target_include_directories(api_e2e_tests PRIVATE ${CMAKE_SOURCE_DIR}/sim/include
        ${CMAKE_SOURCE_DIR}/boardext/common/include ${CMAKE_SOURCE_DIR}/boardext/tests)
    target_link_libraries(api_e2e_tests PRIVATE platform_registry)
    # The MQ5120 boards' driver module, which the machine installs as their driver's file.
    target_compile_definitions(api_e2e_tests PRIVATE
        OPEN_BOARD_CHILD="$<TARGET_FILE:api_open_board_child>"
        MQ5120K_MODULE="$<TARGET_FILE:MQ5120k>")
endif()

# A module with a version resource only, installed by the tests as a board's driver file.
add_library(api_test_driver_file SHARED ${CMAKE_CURRENT_LIST_DIR}/driver_file_module.cpp)
target_link_libraries(api_test_driver_file PRIVATE platform_win32)
if(TARGET api_e2e_tests)
    add_dependencies(api_e2e_tests api_test_driver_file)
    target_compile_definitions(api_e2e_tests PRIVATE
        DRIVER_FILE_MODULE="$<TARGET_FILE:api_test_driver_file>")
endif()
