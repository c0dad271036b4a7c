# Installs the build into a fresh prefix, then builds and runs an outside program with the flags
# that pkg-config gives for hxdaapi32. Arguments: BUILD_DIR, WORK_DIR, SOURCE.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix}
    RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

file(GLOB_RECURSE pc_files ${prefix}/*/hxdaapi32.pc)
list(LENGTH pc_files found)
if(NOT found EQUAL 1)
    message(FATAL_ERROR "expected one hxdaapi32.pc under ${prefix}, found: ${pc_files}")
endif()
get_filename_component(pc_dir ${pc_files} DIRECTORY)
set(ENV{PKG_CONFIG_PATH} ${pc_dir})
execute_process(COMMAND pkg-config --cflags --libs hxdaapi32
    RESULT_VARIABLE result OUTPUT_VARIABLE flags ERROR_VARIABLE errors
    OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "pkg-config failed: ${errors}")
endif()
separate_arguments(flags UNIX_COMMAND "${flags}")

execute_process(COMMAND c++ -std=c++20 ${SOURCE} -o ${WORK_DIR}/outside ${flags}
    RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "building the outside program failed: ${errors}")
endif()

execute_process(COMMAND ${WORK_DIR}/outside RESULT_VARIABLE result OUTPUT_VARIABLE output
    ERROR_VARIABLE errors)
if(NOT result EQUAL 0 OR NOT output STREQUAL "Invalid Subsystem Handle\n")
    message(FATAL_ERROR "outside program: ${result} '${output}' ${errors}")
endif()
