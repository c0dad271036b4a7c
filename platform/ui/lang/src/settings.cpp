#include "uilang/settings.h"

#include <vector>

#include "uilang/runtime_error.h"
#include "win32/errors.h"
#include "win32/registry.h"

namespace uilang {
namespace {

constexpr std::int32_t kErrInvalidProcedureCall = 5;
constexpr DWORD kLongestSetting = 4096;

std::string SectionKey(std::string_view application, std::string_view section) {
    std::string key(kSettingsRoot);
    key += '\\';
    key += application;
    key += '\\';
    key += section;
    return key;
}

// Closes a key on every path.
class KeyHandle {
  public:
    KeyHandle() = default;
    ~KeyHandle() {
        if (key_ != nullptr)
            RegCloseKey(key_);
    }
    KeyHandle(const KeyHandle&) = delete;
    KeyHandle& operator=(const KeyHandle&) = delete;
    HKEY* Out() { return &key_; }
    HKEY Get() const { return key_; }

  private:
    HKEY key_ = nullptr;
};

}  // namespace

std::string GetSetting(std::string_view application, std::string_view section, std::string_view key,
                       std::string_view fallback) {
    KeyHandle handle;
    std::string path = SectionKey(application, section);
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, handle.Out()) != ERROR_SUCCESS)
        return std::string(fallback);
    std::vector<char> data(kLongestSetting);
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(data.size());
    std::string name(key);
    LONG status = RegQueryValueExA(handle.Get(), name.c_str(), nullptr, &type,
                                   reinterpret_cast<BYTE*>(data.data()), &size);
    if (status != ERROR_SUCCESS || type != REG_SZ)
        return std::string(fallback);
    std::string text(data.data(), size);
    return text.substr(0, text.find('\0'));
}

void SaveSetting(std::string_view application, std::string_view section, std::string_view key,
                 std::string_view text) {
    KeyHandle handle;
    std::string path = SectionKey(application, section);
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        handle.Out(), nullptr) != ERROR_SUCCESS)
        Raise(kErrInvalidProcedureCall);
    std::string name(key);
    std::string value(text);
    if (RegSetValueExA(handle.Get(), name.c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1)) != ERROR_SUCCESS)
        Raise(kErrInvalidProcedureCall);
}

}  // namespace uilang
