# Installs the build into a fresh prefix and checks what a user gets: the headers and libraries in
# folders of their own, and the outside program built against the prefix twice, with the flags
# pkg-config gives and with find_package, each run on a fresh machine of its own with nothing in
# the environment that points into the prefix or the build.
# Arguments: BUILD_DIR, WORK_DIR, SOURCE_DIR (this folder), LIBDIR, INCLUDEDIR (the install's
# relative folders), VERSION (the project's), CXX, GENERATOR.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

function(check_run what)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output
        ERROR_VARIABLE errors)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "${what} failed (${result}):\n${output}\n${errors}")
    endif()
    set(output "${output}" PARENT_SCOPE)
endfunction()

# The folder's entries, sorted.
function(entries_of out folder)
    file(GLOB found LIST_DIRECTORIES true RELATIVE ${folder} ${folder}/*)
    list(SORT found)
    set(${out} "${found}" PARENT_SCOPE)
endfunction()

function(expect_entries folder)
    set(expected ${ARGN})
    list(SORT expected)
    entries_of(found ${folder})
    if(NOT found STREQUAL expected)
        message(FATAL_ERROR "${folder} holds '${found}', expected '${expected}'")
    endif()
endfunction()

check_run("cmake --install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
expect_entries(${prefix}/${INCLUDEDIR} hxdaapi32 hxmem32)
expect_entries(${prefix}/${LIBDIR} cmake hxdaapi32 libhxdaapi32.so libhxmem32.so pkgconfig)

# Nothing that could lead the programs to the build or the prefix behind the loader's back.
unset(ENV{MQ_MODULE_PATH})
unset(ENV{LD_LIBRARY_PATH})
set(ENV{PKG_CONFIG_PATH} ${prefix}/${LIBDIR}/pkgconfig)

check_run("pkg-config" pkg-config --cflags --libs hxdaapi32)
separate_arguments(flags UNIX_COMMAND "${output}")
check_run("pkg-config" pkg-config --variable=libdir hxdaapi32)
string(STRIP "${output}" libdir)
set(with_pkg_config ${WORK_DIR}/outside_pkg_config)
check_run("building the outside program with pkg-config"
    ${CXX} -std=c++20 ${SOURCE_DIR}/outside_program.cpp -o ${with_pkg_config} ${flags}
    -Wl,-rpath,${libdir})

set(with_cmake_build ${WORK_DIR}/outside_cmake)
check_run("configuring the outside program with find_package"
    ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${with_cmake_build} -G ${GENERATOR}
    -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_PREFIX_PATH=${prefix})
check_run("building the outside program with find_package"
    ${CMAKE_COMMAND} --build ${with_cmake_build})

foreach(program ${with_pkg_config} ${with_cmake_build}/outside_program)
    get_filename_component(name ${program} NAME)
    set(machine ${WORK_DIR}/machine-${name})
    file(MAKE_DIRECTORY ${machine})
    set(ENV{MQ_MACHINE} ${machine})
    check_run("${program}" ${program})
    if(NOT output MATCHES "hxdaapi32 ${VERSION}\\.0, board MQ5120\\(00\\)" OR
       NOT output MATCHES "streamed 5000 samples at 10000 Hz, 0 overruns")
        message(FATAL_ERROR "${program} printed:\n${output}")
    endif()
    message(STATUS "${name}:\n${output}")
endforeach()
