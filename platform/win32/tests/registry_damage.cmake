# The damaged-registry tests hold a lock on the machine's database through SQLite itself.
target_link_libraries(win32_tests PRIVATE SQLite::SQLite3)
