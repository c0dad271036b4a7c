# The API library hxdaapi32 (libhxdaapi32.so): handle records and tables, the request engine, the
# driver request protocol, the exports and the status texts. Included by api/CMakeLists.txt.
include(GNUInstallDirs)

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
    ${CMAKE_CURRENT_LIST_DIR}/testing/*.cpp
    ${CMAKE_CURRENT_LIST_DIR}/utility/*.cpp)
add_library(hxdaapi32 SHARED ${HXDAAPI32_SOURCES})
target_include_directories(hxdaapi32
    PUBLIC
        $<BUILD_INTERFACE:${CMAKE_CURRENT_LIST_DIR}/../include>
        $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>
    PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(hxdaapi32
    PUBLIC hxdaapi32_headers
    PRIVATE platform_win32 hxmem32 hxda_protocol hxda_status)

# Installed beside the user-mode services it runs on; each finds its neighbours in its own folder.
set_target_properties(hxdaapi32 PROPERTIES INSTALL_RPATH "$ORIGIN")
install(TARGETS hxdaapi32 LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
foreach(runtime platform_win32 platform_kernel platform_registry platform_clock)
    if(TARGET ${runtime})
        set_target_properties(${runtime} PROPERTIES INSTALL_RPATH "$ORIGIN")
        install(TARGETS ${runtime} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
    endif()
endforeach()
install(FILES ${CMAKE_CURRENT_LIST_DIR}/../include/hxdaapi32.h
              ${CMAKE_CURRENT_LIST_DIR}/../include/hxdacodes.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
# The public header's basic platform types, and the base declarations they build on.
install(FILES ${CMAKE_SOURCE_DIR}/platform/win32/include/win32/types.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/win32)
install(FILES ${CMAKE_SOURCE_DIR}/platform/base/include/base/base_types.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/base)
file(RELATIVE_PATH HXDAAPI32_PC_TO_PREFIX "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
string(REGEX REPLACE "/$" "" HXDAAPI32_PC_TO_PREFIX "${HXDAAPI32_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/hxdaapi32.pc.in ${CMAKE_CURRENT_BINARY_DIR}/hxdaapi32.pc
    @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/hxdaapi32.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

include(${CMAKE_CURRENT_LIST_DIR}/../tests/api_tests.cmake)
