// What the leak checker of the sanitizer builds leaves aside in GUI tests: the font
// configuration library keeps its caches for the process's lifetime.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
