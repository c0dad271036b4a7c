# Benchmarks of the API library (programs that print their figures; not tests). Included by
# api/CMakeLists.txt after the library and its test drivers.
if(TARGET api_test_streaming_driver)
    add_executable(api_stream_bench ${CMAKE_CURRENT_LIST_DIR}/stream_throughput.cpp)
    target_include_directories(api_stream_bench PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../src)
    target_link_libraries(api_stream_bench PRIVATE
        hxdaapi32_testing api_test_streaming_driver Threads::Threads)
endif()

# The same through a stand-in board of the simulated machine, unpaced (the machine module is
# defined after the library; the dependency is resolved at generation).
add_executable(api_sim_stream_bench ${CMAKE_CURRENT_LIST_DIR}/sim_stream_throughput.cpp)
target_link_libraries(api_sim_stream_bench PRIVATE
    hxdaapi32 hxmem32 platform_win32 Threads::Threads)
add_dependencies(api_sim_stream_bench MqMachine SetupApi)

# What the MQ5120 benchmarks share: their machine and boards, and measured streams. The board
# model's library is the machine module's own (shared), whose bus-call time the benchmarks read.
add_library(api_bench_mq5120 STATIC ${CMAKE_CURRENT_LIST_DIR}/mq5120_streams.cpp)
target_include_directories(api_bench_mq5120 PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(api_bench_mq5120 PUBLIC
    hxdaapi32 hxmem32 platform_win32 platform_kernel sim_mq5120 Threads::Threads)
add_dependencies(api_bench_mq5120 MqMachine SetupApi MQ5120k)

# An MQ5120 paced at its 500 kHz clock through the whole stack, with the delay from a read's
# completion in the driver to its buffer-done notification (the kernel stand-in's observer).
add_executable(api_mq5120_stream_bench ${CMAKE_CURRENT_LIST_DIR}/mq5120_stream_bench.cpp)
target_link_libraries(api_mq5120_stream_bench PRIVATE api_bench_mq5120)

# N MQ5120 boards streaming at once in one process, with the board models' share of the CPU.
add_executable(api_mq5120_boards_bench ${CMAKE_CURRENT_LIST_DIR}/mq5120_boards_bench.cpp)
target_link_libraries(api_mq5120_boards_bench PRIVATE api_bench_mq5120)

# The MQ5120's D/A at its top clock looped back to its A/D streaming at the same clock.
add_executable(api_mq5120_output_bench ${CMAKE_CURRENT_LIST_DIR}/mq5120_output_bench.cpp)
target_link_libraries(api_mq5120_output_bench PRIVATE
    hxdaapi32 hxmem32 platform_win32 platform_kernel Threads::Threads ${CMAKE_DL_LIBS})
add_dependencies(api_mq5120_output_bench MqMachine SetupApi MQ5120k)
