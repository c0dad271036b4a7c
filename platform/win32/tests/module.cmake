# Test modules of the loader and string-table tests. They live in a folder of their own, so that
# only the module search path (MQ_MODULE_PATH, or the directory of the loading module) finds them.
set(MQ_WIN32_TEST_MODULE_DIR ${CMAKE_BINARY_DIR}/test-modules/win32)

# alpha: an export table, a string table, a global counter, and a LoadLibrary of its own.
add_library(mqtest_alpha SHARED ${CMAKE_CURRENT_SOURCE_DIR}/tests/modules/alpha.cpp)
target_link_libraries(mqtest_alpha PRIVATE platform_win32)
# beta: no tables of its own, but linked against alpha, whose tables it must not lend.
add_library(mqtest_beta SHARED ${CMAKE_CURRENT_SOURCE_DIR}/tests/modules/beta.cpp)
target_link_libraries(mqtest_beta PRIVATE mqtest_alpha platform_win32)
set_target_properties(mqtest_alpha mqtest_beta PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY ${MQ_WIN32_TEST_MODULE_DIR})

add_dependencies(win32_tests mqtest_alpha mqtest_beta)
target_compile_definitions(win32_tests PRIVATE
    MQ_WIN32_TEST_MODULE_DIR="${MQ_WIN32_TEST_MODULE_DIR}")
