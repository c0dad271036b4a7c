# The API library's status type and texts: the table, the statuses' names and the error-string
# copy rule, as a static library that the API library links, with its own unit tests. Included by
# api/CMakeLists.txt.
add_library(hxda_status STATIC ${CMAKE_CURRENT_LIST_DIR}/status_texts.cpp)
target_include_directories(hxda_status PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..
    PRIVATE ${CMAKE_SOURCE_DIR}/platform/hxmem32/include)
target_link_libraries(hxda_status PUBLIC hxdaapi32_codes hxda_protocol)
set_target_properties(hxda_status PROPERTIES POSITION_INDEPENDENT_CODE ON)
mq_hide_symbols(hxda_status)

# The buffer manager's own copies of the 200-220 texts are checked against this table.
mq_add_test_executable(api_status_tests
    LABELS unit
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/../../tests/status_texts_test.cpp
    LIBS hxda_status hxmem32)
