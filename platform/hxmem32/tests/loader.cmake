# The module loader binds hxmem32 as the system's programs do: "HXMEM32.DLL" by name, entries by
# ordinal, plain name and decorated stdcall name. Needs the user-mode services stand-in.
if(TARGET platform_win32)
    mq_add_test_executable(hxmem32_loader_tests
        LABELS unit
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/loader/loader_binding_test.cpp
        LIBS hxmem32 platform_win32)
endif()
