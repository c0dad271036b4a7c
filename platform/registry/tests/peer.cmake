# The second process of the store's cross-process tests, and the helper that starts it.
add_executable(registry_peer ${CMAKE_CURRENT_LIST_DIR}/registry_peer.cpp)
target_link_libraries(registry_peer PRIVATE platform_registry)

target_sources(registry_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/child_process.cpp)
target_compile_definitions(registry_tests PRIVATE MQ_REGISTRY_PEER="$<TARGET_FILE:registry_peer>")
add_dependencies(registry_tests registry_peer)
