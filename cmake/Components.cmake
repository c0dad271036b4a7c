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

# mq_hide_symbols(<target> [EXPORTS <version script>])
# Builds the target with hidden visibility, so that a shared library exports only what its header
# marks for export (HXDAAPI32_EXPORT, HXMEM32_EXPORT) and the module tables. A shared library's
# version script also keeps the standard library's template instances inside it.
function(mq_hide_symbols target)
    cmake_parse_arguments(ARG "" "EXPORTS" "" ${ARGN})
    set_target_properties(${target} PROPERTIES
        CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
    if(ARG_EXPORTS)
        target_link_options(${target} PRIVATE "LINKER:--version-script=${ARG_EXPORTS}")
        set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${ARG_EXPORTS})
    endif()
endfunction()
