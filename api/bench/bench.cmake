# Benchmarks of the API library (programs that print their figures; not tests). Included by
# api/CMakeLists.txt after the library and its test drivers.
if(TARGET api_test_streaming_driver)
    add_executable(api_stream_bench ${CMAKE_CURRENT_LIST_DIR}/stream_throughput.cpp)
    target_include_directories(api_stream_bench PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../src)
    target_link_libraries(api_stream_bench PRIVATE
        hxdaapi32 hxmem32 platform_win32 hxda_protocol api_test_streaming_driver Threads::Threads)
endif()
