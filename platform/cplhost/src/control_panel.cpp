#include "cplhost/control_panel.h"

#include <cstring>

#include "win32/module.h"
#include "win32/strings.h"

namespace cplhost {
namespace {

constexpr int kStringBufferSize = 256;

// A text field of the record, which the applet may have left without its terminator.
template <std::size_t N>
std::string Field(const CHAR (&text)[N]) {
    return std::string(text, strnlen(text, N));
}

}  // namespace

ControlPanel::~ControlPanel() {
    Unload();
}

LONG ControlPanel::Send(UINT message, LPARAM lParam1, LPARAM lParam2, HWND window) {
    if (entry_ == nullptr)
        return 0;
    const LONG answer = entry_(window, message, lParam1, lParam2);
    log_.push_back({message, lParam1, lParam2, answer});
    return answer;
}

LoadResult ControlPanel::Load(const std::string& moduleName) {
    Unload();
    HMODULE module = LoadLibraryA(moduleName.c_str());
    if (module == nullptr)
        return LoadResult::kModuleNotFound;
    auto entry = reinterpret_cast<APPLET_PROC>(GetProcAddress(module, kCplAppletEntryName));
    if (entry == nullptr) {
        FreeLibrary(module);
        return LoadResult::kNoEntry;
    }
    module_ = module;
    entry_ = entry;
    if (Send(CPL_INIT, 0, 0) == 0) {
        FreeLibrary(module_);
        module_ = nullptr;
        entry_ = nullptr;
        return LoadResult::kInitRefused;
    }
    const LONG count = Send(CPL_GETCOUNT, 0, 0);
    for (LONG applet = 0; applet < count; ++applet)
        applets_.push_back(Inquire(static_cast<UINT>(applet)));
    return LoadResult::kLoaded;
}

AppletInfo ControlPanel::Inquire(UINT applet) {
    AppletInfo info;
    CPLINFO brief{};
    Send(CPL_INQUIRE, applet, reinterpret_cast<LPARAM>(&brief));
    info.lData = brief.lData;
    if (brief.idIcon != CPL_DYNAMIC_RES && brief.idName != CPL_DYNAMIC_RES &&
        brief.idInfo != CPL_DYNAMIC_RES) {
        info.iconId = brief.idIcon;
        info.nameId = brief.idName;
        info.infoId = brief.idInfo;
        info.name = ModuleString(brief.idName);
        info.info = ModuleString(brief.idInfo);
        return info;
    }
    NEWCPLINFOA full{};
    Send(CPL_NEWINQUIRE, applet, reinterpret_cast<LPARAM>(&full));
    if (full.dwSize != sizeof(NEWCPLINFOA))
        return info;  // the applet described itself in neither form
    info.dynamic = true;
    info.icon = full.hIcon;
    info.name = Field(full.szName);
    info.info = Field(full.szInfo);
    info.helpFile = Field(full.szHelpFile);
    info.helpContext = full.dwHelpContext;
    info.flags = full.dwFlags;
    info.lData = full.lData;
    return info;
}

std::string ControlPanel::ModuleString(std::int32_t id) const {
    char text[kStringBufferSize] = "";
    const int length = LoadStringA(module_, static_cast<UINT>(id), text, sizeof text);
    return std::string(text, static_cast<std::size_t>(length > 0 ? length : 0));
}

LONG ControlPanel::Open(std::size_t applet, HWND window) {
    if (entry_ == nullptr || applet >= applets_.size())
        return -1;
    return Send(CPL_DBLCLK, static_cast<LPARAM>(applet), applets_[applet].lData, window);
}

void ControlPanel::Unload() {
    if (module_ == nullptr)
        return;
    for (std::size_t applet = 0; applet < applets_.size(); ++applet)
        Send(CPL_STOP, static_cast<LPARAM>(applet), applets_[applet].lData);
    Send(CPL_EXIT, 0, 0);
    FreeLibrary(module_);
    module_ = nullptr;
    entry_ = nullptr;
    applets_.clear();
}

}  // namespace cplhost
