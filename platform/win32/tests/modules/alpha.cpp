// Test module "mqtest_alpha": an export table, a string table, a version table and process-global
// state.
#include "win32/exports.h"
#include "win32/module.h"
#include "win32/strings.h"
#include "win32/version_info.h"

namespace {

LONG g_calls = 0;  // shared by every handle to this module; starts again after an unload

LONG WINAPI AlphaIncrement() {
    return ++g_calls;
}
LONG WINAPI AlphaAdd(LONG a, LONG b) {
    return a + b;
}
LONG WINAPI AlphaUndecorated() {
    return 3;
}
// Loads a module by name from inside this module (the loader then searches next to it).
HMODULE WINAPI AlphaLoad(LPCSTR name) {
    HMODULE module = LoadLibraryA(name);
    return module;
}

}  // namespace

// Reachable by plain name through the module's dynamic symbols only.
extern "C" [[gnu::visibility("default")]] LONG AlphaPlainSymbol() {
    return 7;
}

MQ_EXPORTS_BEGIN
MQ_EXPORT(1, AlphaIncrement, 0)
MQ_EXPORT(2, AlphaAdd, 8)
MQ_EXPORT_PLAIN(3, AlphaUndecorated)
MQ_EXPORT(4, AlphaLoad, 4)
MQ_EXPORT_AS(5, "AlphaSum", AlphaAdd, 8)
MQ_EXPORTS_END

MQ_STRINGTABLE_BEGIN
MQ_STRING(0, "zero")
MQ_STRING(7, "seven")
MQ_STRING(100, "")
MQ_STRING(65535, "last")
MQ_STRINGTABLE_END

MQ_VERSIONINFO_BEGIN
MQ_VERSION_STRING("CompanyName", "Marquell")
MQ_VERSION_STRING("FileVersion", "1.2.3.4")
MQ_VERSION_STRING("ProductName", "")
MQ_VERSIONINFO_END(MQ_VERSION_NUMBER(1, 2, 3, 4), MQ_VERSION_NUMBER(1, 2, 0, 0), VFT_DLL)
