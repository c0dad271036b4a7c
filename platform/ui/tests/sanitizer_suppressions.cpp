// What the sanitizer builds leave aside in GUI tests. The leak checker: the font configuration
// library keeps its caches for the process's lifetime. The race checker: Qt's libraries are not
// built with it, nor is the event-loop library under them, so their own locks and atomics are
// invisible and every hand-over inside them (Qt's pooled threads convert and paint images, with
// memory the event-loop library's allocator hands between threads) looks like a race; races in our
// code are still reported, between our own threads and across the calls we make into Qt.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

extern "C" const char* __tsan_default_suppressions() {
    return "race:libQt6Core.so\n"
           "race:libQt6Gui.so\n"
           "race:libQt6Widgets.so\n"
           "race:libglib-2.0.so\n";
}
