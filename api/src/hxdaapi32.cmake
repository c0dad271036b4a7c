# The API library hxdaapi32 (libhxdaapi32.so): handle records and tables, the request engine, the
# driver request protocol, the exports and the status texts. Included by api/CMakeLists.txt.
#
# The library's code is one archive, hxdaapi32_internal, built once with hidden visibility. The
# shipped library links it whole beside its export table and version resource and exports the
# public header's functions and nothing else. The tests reach the internals through the test-only
# library hxdaapi32_testing, which links the same archive whole beside the test-only entry points:
# a test program runs its own copy of the library's code and links no libhxdaapi32.so.
if(NOT TARGET hxda_status)
    include(${CMAKE_CURRENT_LIST_DIR}/status/status.cmake)
endif()

file(GLOB_RECURSE HXDAAPI32_SOURCES CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_LIST_DIR}/core/*.cpp
    ${CMAKE_CURRENT_LIST_DIR}/discovery/*.cpp
    ${CMAKE_CURRENT_LIST_DIR}/driver/*.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ops/*.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings/*.cpp
    ${CMAKE_CURRENT_LIST_DIR}/exports/*.cpp
    ${CMAKE_CURRENT_LIST_DIR}/utility/*.cpp)
set(HXDAAPI32_MODULE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/exports/export_table.cpp
    ${CMAKE_CURRENT_LIST_DIR}/exports/version_resource.cpp)
list(REMOVE_ITEM HXDAAPI32_SOURCES ${HXDAAPI32_MODULE_SOURCES})
add_library(hxdaapi32_internal STATIC ${HXDAAPI32_SOURCES})
target_include_directories(hxdaapi32_internal PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(hxdaapi32_internal
    PUBLIC hxdaapi32_headers hxmem32 platform_win32 hxda_protocol hxda_status)
mq_hide_symbols(hxdaapi32_internal)

add_library(hxdaapi32 SHARED ${HXDAAPI32_MODULE_SOURCES})
target_include_directories(hxdaapi32 PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(hxdaapi32
    PUBLIC hxdaapi32_headers hxmem32
    PRIVATE $<LINK_LIBRARY:WHOLE_ARCHIVE,hxdaapi32_internal> platform_win32)
mq_hide_symbols(hxdaapi32 EXPORTS ${CMAKE_CURRENT_LIST_DIR}/hxdaapi32.map)
# The library's version is the project's: its version resource, its .pc file and its package
# config give the same.
target_compile_definitions(hxdaapi32 PRIVATE
    HXDAAPI32_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
    HXDAAPI32_VERSION_MINOR=${PROJECT_VERSION_MINOR}
    HXDAAPI32_VERSION_PATCH=${PROJECT_VERSION_PATCH}
    HXDAAPI32_FILE_VERSION="${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")

file(GLOB HXDAAPI32_TESTING_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/testing/*.cpp)
add_library(hxdaapi32_testing STATIC ${HXDAAPI32_TESTING_SOURCES})
target_link_libraries(hxdaapi32_testing PUBLIC $<LINK_LIBRARY:WHOLE_ARCHIVE,hxdaapi32_internal>)

include(${CMAKE_CURRENT_LIST_DIR}/../tests/api_tests.cmake)
