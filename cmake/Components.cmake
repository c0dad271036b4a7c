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
    gtest_discover_tests(${name}
        PROPERTIES LABELS "${ARG_LABELS}"
        DISCOVERY_TIMEOUT 30)
endfunction()
