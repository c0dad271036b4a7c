#include "discovery/board_values.h"

#include <strings.h>

#include <cstring>

namespace hxda {

bool readStringValue(HKEY key, const char* name, std::string* value) {
    char buffer[kRegistryValueBytes] = {};
    DWORD type = 0;
    DWORD bytes = sizeof buffer;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes) !=
        ERROR_SUCCESS)
        return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return false;
    buffer[sizeof buffer - 1] = '\0';
    value->assign(buffer, strnlen(buffer, std::min<std::size_t>(bytes, sizeof buffer)));
    return true;
}

bool readDwordValue(HKEY key, const char* name, std::uint32_t* value) {
    DWORD data = 0;
    DWORD type = 0;
    DWORD bytes = sizeof data;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &bytes) !=
            ERROR_SUCCESS ||
        bytes != sizeof data)
        return false;
    *value = data;
    return true;
}

bool writeStringValue(HKEY key, const char* name, const char* value) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                          static_cast<DWORD>(std::strlen(value) + 1)) == ERROR_SUCCESS;
}

bool sameBoardName(const char* a, const char* b) {
    return a != nullptr && b != nullptr && strcasecmp(a, b) == 0;
}

}  // namespace hxda
