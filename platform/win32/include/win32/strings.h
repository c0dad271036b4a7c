// String tables. A module publishes its texts once (in one source file):
//
//     MQ_STRINGTABLE_BEGIN
//         MQ_STRING(0, "No error")
//         MQ_STRING(1, "Invalid board name")
//     MQ_STRINGTABLE_END
//
// and LoadString reads them through the module's handle. The loader ignores a table that belongs to
// one of the module's dependencies.
#pragma once

#include "win32/types.h"

namespace win32 {

struct StringEntry {
    UINT id;
    const char* text;
};

inline constexpr DWORD kStringTableMagic = 0x4D515354;  // "MQST"

struct StringTable {
    DWORD magic;
    DWORD count;
    const StringEntry* entries;
};

}  // namespace win32

#define MQ_STRING_TABLE_SYMBOL mq_module_string_table
#define MQ_STRING_TABLE_SYMBOL_NAME "mq_module_string_table"

#define MQ_STRINGTABLE_BEGIN \
    namespace {              \
    const ::win32::StringEntry mq_module_string_entries[] = {
#define MQ_STRING(id, text) {static_cast<UINT>(id), text},
#define MQ_STRINGTABLE_END                                                         \
    }                                                                              \
    ;                                                                              \
    }                                                                              \
    extern "C" [[gnu::visibility("default"),                                       \
                 gnu::used]] const ::win32::StringTable MQ_STRING_TABLE_SYMBOL = { \
        ::win32::kStringTableMagic,                                                \
        static_cast<DWORD>(sizeof(mq_module_string_entries) /                      \
                           sizeof(mq_module_string_entries[0])),                   \
        mq_module_string_entries};

// Copies the text of string uID of the module (NULL: the program) into lpBuffer: at most
// cchBufferMax - 1 characters and a terminating zero. Returns the number of characters copied,
// without the terminator; 0 with ERROR_RESOURCE_NAME_NOT_FOUND when the module has no such
// string (an empty text reads as missing), and 0 when cchBufferMax is 0.
int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax);
static inline int LoadString(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax) {
    return LoadStringA(hInstance, uID, lpBuffer, cchBufferMax);
}
