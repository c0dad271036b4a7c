# Unit and driver round-trip tests of the API library on its own code (the test-only library),
# the tests of the shipped library's ABI, and the installed system serving an outside program.
file(GLOB API_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/api_*_test.cpp)
mq_add_test_executable(api_tests
    LABELS unit
    SOURCES ${API_TESTS}
    LIBS hxdaapi32_testing)
if(TARGET api_tests)
    target_include_directories(api_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../src
        ${CMAKE_SOURCE_DIR}/boardext/tests ${CMAKE_SOURCE_DIR}/boardext/common/include)
endif()

# The installed system serves a program outside the tree, built with pkg-config and with
# find_package (install/install_check.cmake). Sanitizer builds skip it: the outside program is
# built without the sanitizer runtime.
if(NOT MQ_SANITIZE)
    add_test(NAME api_installed_program
        COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
                -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/installed_program
                -DSOURCE_DIR=${CMAKE_CURRENT_LIST_DIR}/install
                -DLIBDIR=${CMAKE_INSTALL_LIBDIR} -DINCLUDEDIR=${CMAKE_INSTALL_INCLUDEDIR}
                -DVERSION=${PROJECT_VERSION}
                -DCXX=${CMAKE_CXX_COMPILER} -DGENERATOR=${CMAKE_GENERATOR}
                -P ${CMAKE_CURRENT_LIST_DIR}/install/install_check.cmake)
    set_tests_properties(api_installed_program PROPERTIES LABELS "e2e" TIMEOUT 300)
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
    LIBS hxdaapi32_testing api_test_recording_driver api_test_streaming_driver)
if(TARGET api_e2e_tests)
    target_include_directories(api_e2e_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../src)
    # The library's version is read from the shipped library's file.
    add_dependencies(api_e2e_tests hxdaapi32)
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

# The shipped libraries as programs bind them: the exported symbols of libhxdaapi32.so and
# libhxmem32.so against their headers, and the export table through the module loader.
file(GLOB API_ABI_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/abi/*.cpp)
mq_add_test_executable(api_abi_tests
    LABELS unit
    SOURCES ${API_ABI_TESTS}
    LIBS hxdaapi32 platform_win32)
if(TARGET api_abi_tests)
    target_include_directories(api_abi_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../src)
    target_compile_definitions(api_abi_tests PRIVATE
        HXDAAPI32_LIBRARY="$<TARGET_FILE:hxdaapi32>"
        HXDAAPI32_HEADER="${CMAKE_CURRENT_LIST_DIR}/../include/hxdaapi32.h"
        HXMEM32_LIBRARY="$<TARGET_FILE:hxmem32>"
        HXMEM32_HEADER="${CMAKE_SOURCE_DIR}/platform/hxmem32/include/hxmem32.h")
endif()

# The randomized exerciser of every entry on a simulated machine (tests/exerciser/): a bounded run
# of a fixed even seed per preset (everything closed and every buffer checked at the end), and the
# seeds that once failed, each for a few seconds. CI runs it on stand-in boards: the MQ5120's board
# model still converts a long overdue stretch of samples one by one under its port's lock, which
# can hold a driver request past the exerciser's bound.
add_executable(api_exerciser ${CMAKE_CURRENT_LIST_DIR}/exerciser/api_exerciser.cpp)
target_link_libraries(api_exerciser PRIVATE hxdaapi32 hxmem32 platform_win32 platform_clock Threads::Threads)
add_dependencies(api_exerciser MqMachine SetupApi MQ5120k Mq5120 Mq5200)
add_test(NAME api_exerciser_run COMMAND api_exerciser --seed 20261210 --seconds 20 --threads 4 --boards standin)
set_tests_properties(api_exerciser_run PROPERTIES LABELS "slow" TIMEOUT 180)
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/exerciser/regression_seeds.txt API_EXERCISER_SEEDS
    REGEX "^[0-9]")
foreach(seed ${API_EXERCISER_SEEDS})
    add_test(NAME api_exerciser_seed_${seed}
        COMMAND api_exerciser --seed ${seed} --seconds 3 --threads 4 --boards standin)
    set_tests_properties(api_exerciser_seed_${seed} PROPERTIES LABELS "slow" TIMEOUT 120)
endforeach()
