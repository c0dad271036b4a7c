#include "registry_keys.h"

#include <vector>

namespace com::detail {

std::optional<std::string> ReadClassesValue(const std::string& path, const char* name) {
    Key key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE, key.out()) !=
        ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::nullopt;
    std::vector<char> text(size + 1, '\0');
    if (RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                         &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::string(text.data());
}

bool WriteClassesValue(const std::string& path, const char* name, std::string_view value) {
    Key key;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                        key.out(), nullptr) != ERROR_SUCCESS)
        return false;
    const std::string text(value);
    return RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

bool DeleteClassesTree(const std::string& path) {
    std::vector<std::string> children;
    {
        Key key;
        const LONG opened = RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.out());
        if (opened == ERROR_FILE_NOT_FOUND)
            return true;
        if (opened != ERROR_SUCCESS)
            return false;
        for (DWORD index = 0;; ++index) {
            char name[MAX_PATH];
            DWORD length = sizeof(name);
            const LONG status =
                RegEnumKeyExA(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
            if (status == ERROR_NO_MORE_ITEMS)
                break;
            if (status != ERROR_SUCCESS)
                return false;
            children.emplace_back(name);
        }
    }
    for (const std::string& child : children)
        if (!DeleteClassesTree(path + "\\" + child))
            return false;
    const LONG deleted = RegDeleteKeyA(HKEY_CLASSES_ROOT, path.c_str());
    return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
}

}  // namespace com::detail
