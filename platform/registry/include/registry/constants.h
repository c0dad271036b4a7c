// Registry constants shared by the user-mode and the kernel-mode registry calls: value types,
// create dispositions and options, and key access rights, with the platform's names and values.
// Both sides include this header, so that a translation unit that sees both sees one definition
// (each guarded, so that an earlier definition of the same value stays).
#pragma once

// Value types.
#ifndef REG_NONE
#define REG_NONE 0u
#endif
#ifndef REG_SZ
#define REG_SZ 1u
#endif
#ifndef REG_EXPAND_SZ
#define REG_EXPAND_SZ 2u
#endif
#ifndef REG_BINARY
#define REG_BINARY 3u
#endif
#ifndef REG_DWORD
#define REG_DWORD 4u
#endif
#ifndef REG_DWORD_LITTLE_ENDIAN
#define REG_DWORD_LITTLE_ENDIAN 4u
#endif
#ifndef REG_DWORD_BIG_ENDIAN
#define REG_DWORD_BIG_ENDIAN 5u
#endif
#ifndef REG_LINK
#define REG_LINK 6u
#endif
#ifndef REG_MULTI_SZ
#define REG_MULTI_SZ 7u
#endif
#ifndef REG_QWORD
#define REG_QWORD 11u
#endif
#ifndef REG_QWORD_LITTLE_ENDIAN
#define REG_QWORD_LITTLE_ENDIAN 11u
#endif

// Dispositions of a create call.
#ifndef REG_CREATED_NEW_KEY
#define REG_CREATED_NEW_KEY 1u
#endif
#ifndef REG_OPENED_EXISTING_KEY
#define REG_OPENED_EXISTING_KEY 2u
#endif

// Options of create and open calls.
#ifndef REG_OPTION_RESERVED
#define REG_OPTION_RESERVED 0u
#endif
#ifndef REG_OPTION_NON_VOLATILE
#define REG_OPTION_NON_VOLATILE 0u
#endif
#ifndef REG_OPTION_VOLATILE
#define REG_OPTION_VOLATILE 1u
#endif
#ifndef REG_OPTION_CREATE_LINK
#define REG_OPTION_CREATE_LINK 2u
#endif
#ifndef REG_OPTION_BACKUP_RESTORE
#define REG_OPTION_BACKUP_RESTORE 4u
#endif
#ifndef REG_OPTION_OPEN_LINK
#define REG_OPTION_OPEN_LINK 8u
#endif

// Key access rights.
#ifndef KEY_QUERY_VALUE
#define KEY_QUERY_VALUE 0x0001u
#endif
#ifndef KEY_SET_VALUE
#define KEY_SET_VALUE 0x0002u
#endif
#ifndef KEY_CREATE_SUB_KEY
#define KEY_CREATE_SUB_KEY 0x0004u
#endif
#ifndef KEY_ENUMERATE_SUB_KEYS
#define KEY_ENUMERATE_SUB_KEYS 0x0008u
#endif
#ifndef KEY_NOTIFY
#define KEY_NOTIFY 0x0010u
#endif
#ifndef KEY_CREATE_LINK
#define KEY_CREATE_LINK 0x0020u
#endif
#ifndef KEY_WOW64_64KEY
#define KEY_WOW64_64KEY 0x0100u
#endif
#ifndef KEY_WOW64_32KEY
#define KEY_WOW64_32KEY 0x0200u
#endif
#ifndef KEY_READ
#define KEY_READ 0x00020019u
#endif
#ifndef KEY_WRITE
#define KEY_WRITE 0x00020006u
#endif
#ifndef KEY_EXECUTE
#define KEY_EXECUTE 0x00020019u
#endif
#ifndef KEY_ALL_ACCESS
#define KEY_ALL_ACCESS 0x000F003Fu
#endif
