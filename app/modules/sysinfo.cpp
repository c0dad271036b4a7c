#include "modules/sysinfo.h"

#include <cstring>
#include <vector>

#include "ui/runtime.h"
#include "uilang/runtime_error.h"

namespace larkspur {
namespace {

constexpr DWORD kValueBuffer = 1024;
constexpr const char* kPathKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr const char* kPathValue = "PATH";
constexpr const char* kLocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr const char* kLocationValue = "MSINFO";
constexpr const char* kToolFile = "\\MSINFO32.EXE";

// The path of the tool, or empty.
std::string ToolPath() {
    std::string path;
    if (GetKeyValue(HKEY_LOCAL_MACHINE, kPathKey, kPathValue, path))
        return path;
    std::string directory;
    if (!GetKeyValue(HKEY_LOCAL_MACHINE, kLocationKey, kLocationValue, directory))
        return {};
    path = directory + kToolFile;
    return ui::Runtime::FileExists(path) ? path : std::string();
}

}  // namespace

bool GetKeyValue(HKEY root, const std::string& keyName, const std::string& valueName,
                 std::string& text) {
    text.clear();
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, keyName.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return false;
    std::vector<char> data(kValueBuffer);
    DWORD type = 0;
    DWORD size = kValueBuffer;
    LONG status = RegQueryValueExA(key, valueName.c_str(), nullptr, &type,
                                   reinterpret_cast<BYTE*>(data.data()), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return false;
    if (type == REG_DWORD) {
        DWORD number = 0;
        std::memcpy(&number, data.data(), sizeof number);
        text = std::to_string(number);
        return true;
    }
    if (type != REG_SZ)
        return false;
    text.assign(data.data(), strnlen(data.data(), size));
    return true;
}

void StartSysInfo() {
    ui::Runtime& runtime = ui::Runtime::Current();
    try {
        std::string path = ToolPath();
        if (!path.empty()) {
            runtime.Shell(path);
            return;
        }
    } catch (const uilang::RuntimeError&) {
    }
    runtime.MsgBox(kSysInfoUnavailable, ui::kMbOkOnly);
}

}  // namespace larkspur
