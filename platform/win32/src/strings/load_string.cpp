#include <cstring>

#include "module/module_registry.h"
#include "win32/errors.h"
#include "win32/handles.h"
#include "win32/strings.h"

int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax) {
    using namespace win32::detail;
    HMODULE module = hInstance != nullptr ? hInstance : ProgramModule();
    if (!IsModule(module)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (lpBuffer == nullptr || cchBufferMax < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (cchBufferMax == 0)
        return 0;
    lpBuffer[0] = 0;
    auto* table =
        static_cast<const win32::StringTable*>(FindOwnSymbol(module, MQ_STRING_TABLE_SYMBOL_NAME));
    const char* text = nullptr;
    if (table != nullptr && table->magic == win32::kStringTableMagic) {
        for (DWORD i = 0; i < table->count; ++i) {
            if (table->entries[i].id == uID) {
                text = table->entries[i].text;
                break;
            }
        }
    }
    if (text == nullptr || *text == 0) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    std::size_t length = std::strlen(text);
    std::size_t copied = length < static_cast<std::size_t>(cchBufferMax - 1)
                             ? length
                             : static_cast<std::size_t>(cchBufferMax - 1);
    std::memcpy(lpBuffer, text, copied);
    lpBuffer[copied] = 0;
    return static_cast<int>(copied);
}
