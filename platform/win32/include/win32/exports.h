// Export tables of our modules. An ELF symbol cannot carry the platform's decorated stdcall names
// ("_Name@8") or ordinals, so every module that GetProcAddress must resolve by decorated name or by
// ordinal publishes one table, written once per module (in one source file):
//
//     MQ_EXPORTS_BEGIN
//         MQ_EXPORT(11, hxDaInitialize, 8)            // "hxDaInitialize", "_hxDaInitialize@8", #11
//         MQ_EXPORT_PLAIN(3, MainDLG)                 // "MainDLG", #3 (no decorated form)
//         MQ_EXPORT_AS(104, "hxDaSetXferCount", hxDaNotSupported2, 8)  // one routine, two names
//     MQ_EXPORTS_END
//
// The loader finds the table through the module's own dynamic symbol table and ignores a table
// that belongs to one of the module's dependencies.
#pragma once

#include "win32/types.h"

// The type the loader hands out for every entry; callers cast it to the entry's real type. It is
// void(*)() rather than the platform's INT_PTR(*)(): the compiler's cast-function-type warning
// accepts a cast from this generic type to any function type without a detour.
using FARPROC = void(WINAPI*)();
using NEARPROC = FARPROC;
using PROC = FARPROC;

namespace win32 {

// Argument bytes of an entry that has no decorated stdcall form (looked up by plain name only).
inline constexpr int kNoDecoration = -1;

struct ExportEntry {
    WORD ordinal;       // 1..65535
    const char* name;   // undecorated name
    int argumentBytes;  // bytes of stdcall arguments (the N of "_Name@N"), or kNoDecoration
    FARPROC address;
};

inline constexpr DWORD kExportTableMagic = 0x4D514554;  // "MQET"

struct ExportTable {
    DWORD magic;
    DWORD count;
    const ExportEntry* entries;
};

}  // namespace win32

// Name of the symbol the loader looks for in each module. Every module defines it; the table lives
// in a section of its own, which AddressSanitizer leaves uninstrumented, so that the same name in
// several loaded modules is not taken for a one-definition violation.
#define MQ_EXPORT_TABLE_SYMBOL mq_module_export_table
#define MQ_EXPORT_TABLE_SYMBOL_NAME "mq_module_export_table"

#define MQ_EXPORTS_BEGIN \
    namespace {          \
    const ::win32::ExportEntry mq_module_export_entries[] = {
#define MQ_EXPORT_AS(ordinal, exportName, function, argumentBytes) \
    {static_cast<WORD>(ordinal), exportName, argumentBytes,        \
     reinterpret_cast<::FARPROC>(&(function))},
#define MQ_EXPORT(ordinal, function, argumentBytes) \
    MQ_EXPORT_AS(ordinal, #function, function, argumentBytes)
#define MQ_EXPORT_PLAIN(ordinal, function) \
    MQ_EXPORT_AS(ordinal, #function, function, ::win32::kNoDecoration)
#define MQ_EXPORTS_END                                                                            \
    }                                                                                             \
    ;                                                                                             \
    }                                                                                             \
    extern "C"                                                                                    \
        [[gnu::visibility("default"), gnu::used,                                                  \
          gnu::section("mq_export_table")]] const ::win32::ExportTable MQ_EXPORT_TABLE_SYMBOL = { \
            ::win32::kExportTableMagic,                                                           \
            static_cast<DWORD>(sizeof(mq_module_export_entries) /                                 \
                               sizeof(mq_module_export_entries[0])),                              \
            mq_module_export_entries};
