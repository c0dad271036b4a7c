// Every module of ours publishes its export table under one symbol name that the module loader
// looks up per module; AddressSanitizer takes two loaded modules with that name for a one-
// definition violation. The test programs turn that one check off.
extern "C" const char* __asan_default_options() {
    return "detect_odr_violation=0";
}
