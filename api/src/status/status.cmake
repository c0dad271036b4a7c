# The status texts of the API library: the table and the error-string copy rule, as a static
# library that the API library links, with its own unit tests. Included by api/CMakeLists.txt.
add_library(hxda_status STATIC ${CMAKE_CURRENT_LIST_DIR}/status_texts.cpp)
target_include_directories(hxda_status PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
set_target_properties(hxda_status PROPERTIES POSITION_INDEPENDENT_CODE ON)
mq_hide_symbols(hxda_status)

# The buffer manager's own copies of the 200-220 texts are checked against this table.
mq_add_test_executable(api_status_tests
    LABELS unit
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/status_texts_test.cpp
    LIBS hxda_status hxmem32)
