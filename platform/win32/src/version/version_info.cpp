// Version information: a module's version table turned into a self-contained block (offsets, no
// pointers), and the queries over such a block.
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "module/module_registry.h"
#include "module/module_search.h"
#include "win32/errors.h"
#include "win32/handles.h"
#include "win32/version_info.h"

namespace {

constexpr DWORD kBlockMagic = 0x4D515642;  // "MQVB"

struct BlockHeader {
    DWORD magic;
    DWORD totalSize;
    VS_FIXEDFILEINFO fixed;
    DWORD translation;  // language | code page << 16
    DWORD count;
};
struct BlockString {
    DWORD nameOffset;
    DWORD valueOffset;
    DWORD valueLength;  // characters with the terminator
};

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The file a name denotes: a path as given (the file name matched without regard to case), or a
// module name: the file of the module of that name loaded in the process, else the module of that
// name on the module search path (a library installed apart from the program reads its own
// version this way).
std::optional<std::string> ResolveFile(const char* name) {
    std::string path(name);
    std::replace(path.begin(), path.end(), '\\', '/');
    if (IsRegularFile(path))
        return path;
    const auto slash = path.rfind('/');
    if (slash != std::string::npos) {
        const std::string directory = slash == 0 ? "/" : path.substr(0, slash);
        if (auto found = win32::detail::FindInDirectory(directory, path.substr(slash + 1)))
            return found;
    } else if (HMODULE loaded = win32::detail::FindLoadedModule(name)) {
        std::string file;
        if (win32::detail::ModulePath(loaded, &file))
            return file;
    }
    return win32::detail::FindModuleFile(name, {});
}

// The block of the file's version table; none with the error set.
std::optional<std::vector<unsigned char>> BuildBlock(const char* name) {
    if (name == nullptr || *name == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    auto path = ResolveFile(name);
    if (!path) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return std::nullopt;
    }
    std::string failure;
    HMODULE module = win32::detail::LoadModuleFile(*path, &failure);
    if (module == nullptr) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);  // not a module: no version information
        return std::nullopt;
    }
    auto* table = static_cast<const win32::VersionTable*>(
        win32::detail::FindOwnSymbol(module, MQ_VERSION_TABLE_SYMBOL_NAME));
    std::optional<std::vector<unsigned char>> block;
    if (table != nullptr && table->magic == win32::kVersionTableMagic) {
        std::vector<unsigned char> bytes(sizeof(BlockHeader) + table->count * sizeof(BlockString));
        std::vector<BlockString> entries(table->count);
        auto appendText = [&bytes](const char* text) {
            const DWORD offset = static_cast<DWORD>(bytes.size());
            const std::size_t length = std::strlen(text) + 1;
            bytes.insert(bytes.end(), text, text + length);
            return offset;
        };
        for (DWORD i = 0; i < table->count; ++i) {
            entries[i].nameOffset = appendText(table->strings[i].name);
            entries[i].valueOffset = appendText(table->strings[i].value);
            entries[i].valueLength = static_cast<DWORD>(std::strlen(table->strings[i].value) + 1);
        }
        BlockHeader header{
            kBlockMagic, static_cast<DWORD>(bytes.size()), table->fixed,
            static_cast<DWORD>(table->language) | (static_cast<DWORD>(table->codePage) << 16),
            table->count};
        std::memcpy(bytes.data(), &header, sizeof(header));
        if (!entries.empty())
            std::memcpy(bytes.data() + sizeof(header), entries.data(),
                        entries.size() * sizeof(BlockString));
        block = std::move(bytes);
    } else {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    }
    win32::detail::ReleaseModule(module);
    return block;
}

// The block's header when it is a whole block of ours.
const BlockHeader* HeaderOf(LPCVOID block) {
    if (block == nullptr)
        return nullptr;
    auto* header = static_cast<const BlockHeader*>(block);
    if (header->magic != kBlockMagic || header->totalSize < sizeof(BlockHeader) ||
        header->count > (header->totalSize - sizeof(BlockHeader)) / sizeof(BlockString))
        return nullptr;
    return header;
}

// Splits "\a\b\c" into its components (empty ones dropped).
std::vector<std::string> Components(const char* path) {
    std::vector<std::string> parts;
    std::string current;
    for (const char* c = path; *c != 0; ++c) {
        if (*c == '\\' || *c == '/') {
            if (!current.empty())
                parts.push_back(current);
            current.clear();
        } else {
            current += *c;
        }
    }
    if (!current.empty())
        parts.push_back(current);
    return parts;
}

bool SameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace

DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR lptstrFilename, LPDWORD lpdwHandle) {
    if (lpdwHandle != nullptr)
        *lpdwHandle = 0;
    auto block = BuildBlock(lptstrFilename);
    return block ? static_cast<DWORD>(block->size()) : 0;
}

BOOL WINAPI GetFileVersionInfoA(LPCSTR lptstrFilename, DWORD, DWORD dwLen, LPVOID lpData) {
    if (lpData == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto block = BuildBlock(lptstrFilename);
    if (!block)
        return FALSE;
    if (dwLen < block->size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(lpData, block->data(), block->size());
    return TRUE;
}

BOOL WINAPI VerQueryValueA(LPCVOID pBlock, LPCSTR lpSubBlock, LPVOID* lplpBuffer, PUINT puLen) {
    if (puLen != nullptr)
        *puLen = 0;
    const BlockHeader* header = HeaderOf(pBlock);
    if (header == nullptr || lpSubBlock == nullptr || lplpBuffer == nullptr)
        return FALSE;
    auto* base = static_cast<const unsigned char*>(pBlock);
    const std::vector<std::string> parts = Components(lpSubBlock);
    auto answer = [&](const void* data, UINT length) {
        *lplpBuffer = const_cast<void*>(data);
        if (puLen != nullptr)
            *puLen = length;
        return TRUE;
    };
    if (parts.empty())
        return answer(&header->fixed, sizeof(VS_FIXEDFILEINFO));
    if (parts.size() == 2 && SameText(parts[0], "VarFileInfo") && SameText(parts[1], "Translation"))
        return answer(&header->translation, sizeof(DWORD));
    if (parts.size() != 3 || !SameText(parts[0], "StringFileInfo"))
        return FALSE;
    char key[9];
    std::snprintf(key, sizeof(key), "%04X%04X", header->translation & 0xFFFF,
                  header->translation >> 16);
    if (!SameText(parts[1], key))
        return FALSE;
    auto* entries = reinterpret_cast<const BlockString*>(base + sizeof(BlockHeader));
    for (DWORD i = 0; i < header->count; ++i) {
        const BlockString& entry = entries[i];
        if (entry.nameOffset >= header->totalSize || entry.valueOffset >= header->totalSize ||
            entry.valueLength > header->totalSize - entry.valueOffset)
            return FALSE;  // damaged
        const char* name = reinterpret_cast<const char*>(base + entry.nameOffset);
        if (strnlen(name, header->totalSize - entry.nameOffset) ==
            header->totalSize - entry.nameOffset)
            return FALSE;
        if (SameText(parts[2], name))
            return answer(base + entry.valueOffset, entry.valueLength);
    }
    return FALSE;
}
