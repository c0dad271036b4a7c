# What `cmake --install` puts into the prefix: everything a program needs at run time, each module
# found from where the one that loads it lies, with no environment variable.
#
#   <libdir>/libhxdaapi32.so, libhxmem32.so   the libraries a program links
#   <libdir>/hxdaapi32/                       what they run on and load by name: the stand-ins,
#                                             SetupApi, the machine module, the board drivers and
#                                             the board extension libraries, side by side
#   <bindir>/                                 the machine tool mqmachine and the benchmarks
#   <includedir>/hxdaapi32/, hxmem32/         the public headers (hxdaapi32.h, hxdacodes.h,
#                                             win32/types.h, base/base_types.h; hxmem32.h)
#   <libdir>/pkgconfig/hxdaapi32.pc, hxmem32.pc, <libdir>/cmake/hxdaapi32/ (find_package)
#
# The module folder holds every module that is loaded by name: the kernel stand-in boots the
# machine module from its own folder, the machine loads the drivers from its folder, and the
# services stand-in's LoadLibrary searches its own folder after the caller's (SetupApi and the
# extension libraries, which the library loads).
include(CMakePackageConfigHelpers)

set(MQ_INSTALL_MODULEDIR ${CMAKE_INSTALL_LIBDIR}/hxdaapi32)

# mq_relative_rpath(<out> <from> <to>...): the RPATH by which a file installed in <from> finds
# the libraries in each <to>, relative to itself ($ORIGIN), so that a prefix can be moved.
function(mq_relative_rpath out from)
    set(rpath "")
    foreach(to ${ARGN})
        file(RELATIVE_PATH relative "/prefix/${from}" "/prefix/${to}")
        if(relative STREQUAL "")
            list(APPEND rpath "$ORIGIN")
        else()
            list(APPEND rpath "$ORIGIN/${relative}")
        endif()
    endforeach()
    set(${out} "${rpath}" PARENT_SCOPE)
endfunction()
mq_relative_rpath(MQ_LIBRARY_RPATH ${CMAKE_INSTALL_LIBDIR}
    ${CMAKE_INSTALL_LIBDIR} ${MQ_INSTALL_MODULEDIR})
mq_relative_rpath(MQ_PROGRAM_RPATH ${CMAKE_INSTALL_BINDIR}
    ${CMAKE_INSTALL_LIBDIR} ${MQ_INSTALL_MODULEDIR})

# The libraries a program links, with their package files.
set(MQ_INSTALL_LIBRARIES hxdaapi32 hxmem32)
# Every module they need at run time; new stand-ins, drivers and extension libraries join here.
set(MQ_INSTALL_MODULES
    platform_registry platform_clock platform_kernel platform_usb platform_win32 SetupApi
    MqMachine sim_mq5120 MqSimDaDriverFile MQ5120k Mq5120 Mq5200 Mq5130 MQ5310)
# The programs: the machine tool and the benchmarks.
set(MQ_INSTALL_PROGRAMS mqmachine api_stream_bench api_sim_stream_bench api_mq5120_stream_bench
    api_mq5120_output_bench api_mq5120_boards_bench sim_mq5120_bench)

foreach(library ${MQ_INSTALL_LIBRARIES})
    set_target_properties(${library} PROPERTIES INSTALL_RPATH "${MQ_LIBRARY_RPATH}")
endforeach()
install(TARGETS ${MQ_INSTALL_LIBRARIES} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})

foreach(module ${MQ_INSTALL_MODULES})
    if(TARGET ${module})
        set_target_properties(${module} PROPERTIES INSTALL_RPATH "$ORIGIN")
        install(TARGETS ${module} LIBRARY DESTINATION ${MQ_INSTALL_MODULEDIR})
    endif()
endforeach()

foreach(program ${MQ_INSTALL_PROGRAMS})
    if(TARGET ${program})
        set_target_properties(${program} PROPERTIES INSTALL_RPATH "${MQ_PROGRAM_RPATH}")
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()

install(FILES ${CMAKE_SOURCE_DIR}/api/include/hxdaapi32.h ${CMAKE_SOURCE_DIR}/api/include/hxdacodes.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/hxdaapi32)
# The public header's basic platform types, included as "win32/types.h" beside it, and the base
# declarations they build on ("base/base_types.h").
install(FILES ${CMAKE_SOURCE_DIR}/platform/win32/include/win32/types.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/hxdaapi32/win32)
install(FILES ${CMAKE_SOURCE_DIR}/platform/base/include/base/base_types.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/hxdaapi32/base)
install(FILES ${CMAKE_SOURCE_DIR}/platform/hxmem32/include/hxmem32.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/hxmem32)

# The .pc files find their prefix from their own place, so that `cmake --install --prefix`
# anywhere works.
file(RELATIVE_PATH MQ_PC_TO_PREFIX "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
string(REGEX REPLACE "/$" "" MQ_PC_TO_PREFIX "${MQ_PC_TO_PREFIX}")
foreach(library ${MQ_INSTALL_LIBRARIES})
    configure_file(${CMAKE_CURRENT_LIST_DIR}/package/${library}.pc.in
        ${CMAKE_BINARY_DIR}/package/${library}.pc @ONLY)
    install(FILES ${CMAKE_BINARY_DIR}/package/${library}.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()

# The CMake package: imported targets hxdaapi32::hxdaapi32 and hxdaapi32::hxmem32.
set(MQ_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/hxdaapi32)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/package/hxdaapi32Config.cmake.in
    ${CMAKE_BINARY_DIR}/package/hxdaapi32Config.cmake INSTALL_DESTINATION ${MQ_PACKAGE_DIR}
    PATH_VARS CMAKE_INSTALL_LIBDIR CMAKE_INSTALL_INCLUDEDIR)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/hxdaapi32ConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/package/hxdaapi32Config.cmake
    ${CMAKE_BINARY_DIR}/package/hxdaapi32ConfigVersion.cmake DESTINATION ${MQ_PACKAGE_DIR})
