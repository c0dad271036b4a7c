# Helpers shared by every component's CMakeLists.

include(GoogleTest)

# mq_add_test_executable(<name> LABELS <label>... SOURCES <file>... LIBS <target>...)
# One GoogleTest executable per component; every test case is registered with CTest and carries the
# given labels (unit, e2e, gui, slow).
function(mq_add_test_executable name)
    cmake_parse_arguments(ARG "" "" "LABELS;SOURCES;LIBS" ${ARGN})
    if(NOT ARG_SOURCES)
        message(STATUS "${name}: no test sources yet")
        return()
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
    # A test that does not make a machine of its own runs on the build's test machine, never on
    # the user's: the first device open of a process boots the machine (see README.md).
    gtest_discover_tests(${name}
        PROPERTIES LABELS "${ARG_LABELS}"
                   ENVIRONMENT "MQ_MACHINE=${CMAKE_BINARY_DIR}/test-machine"
        DISCOVERY_TIMEOUT 30)
endfunction()
