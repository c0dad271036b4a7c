// The Control Panel host: loads an applet module by name, talks to it through CPlApplet as the
// platform's Control Panel does (cpl.h has the order of the messages) and records every message it
// sent with the answer it got.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cplhost/cpl.h"

namespace cplhost {

// What an applet said about itself.
struct AppletInfo {
    bool dynamic = false;     // described by CPL_NEWINQUIRE
    std::int32_t iconId = 0;  // CPLINFO's resource ids (0 when dynamic)
    std::int32_t nameId = 0;
    std::int32_t infoId = 0;
    std::uint32_t icon = 0;  // NEWCPLINFOA's icon handle
    std::string name;        // NEWCPLINFOA's texts, or the module's strings nameId and infoId
    std::string info;
    std::string helpFile;
    DWORD helpContext = 0;
    DWORD flags = 0;
    std::int32_t lData = 0;
};

// One message sent and the answer.
struct Exchange {
    UINT message;
    LPARAM lParam1;
    LPARAM lParam2;
    LONG answer;
};

enum class LoadResult { kLoaded, kModuleNotFound, kNoEntry, kInitRefused };

class ControlPanel {
  public:
    ControlPanel() = default;
    ~ControlPanel();  // unloads a module still loaded
    ControlPanel(const ControlPanel&) = delete;
    ControlPanel& operator=(const ControlPanel&) = delete;

    // Loads the module ("name.cpl"), initialises it and asks each of its applets about itself.
    // A module whose CPL_INIT answers 0 is freed at once, without CPL_EXIT.
    LoadResult Load(const std::string& moduleName);
    bool Loaded() const { return module_ != nullptr; }
    const std::vector<AppletInfo>& Applets() const { return applets_; }

    // Opens an applet (CPL_DBLCLK) with the host's window as parent; returns the answer, which
    // comes once the applet's dialog has closed. -1 without such an applet.
    LONG Open(std::size_t applet, HWND window);
    // Sends any message as the host would, for what the host does not send on its own.
    LONG Send(UINT message, LPARAM lParam1, LPARAM lParam2, HWND window = nullptr);

    // CPL_STOP for each applet, CPL_EXIT, then the module is freed.
    void Unload();

    const std::vector<Exchange>& Log() const { return log_; }
    void ClearLog() { log_.clear(); }

  private:
    AppletInfo Inquire(UINT applet);
    std::string ModuleString(std::int32_t id) const;

    HMODULE module_ = nullptr;
    APPLET_PROC entry_ = nullptr;
    std::vector<AppletInfo> applets_;
    std::vector<Exchange> log_;
};

}  // namespace cplhost
