// mqhxcpl_host: a Control Panel with the board applet, on the machine that MQ_MACHINE names (or the
// per-user default). It loads the applet module, shows the Control Panel's window and opens the
// applet at once; closing the applet leaves the window, closing the window ends the program.
//
//     mqhxcpl_host [--screenshot FILE]
//
// With --screenshot the program runs offscreen through the scripted user: it opens the applet,
// saves the board list's picture to FILE and ends with status 0 (1 when the applet cannot be
// loaded or shows no board).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "control_panel_window.h"
#include "ui/list_view.h"
#include "ui/runtime.h"
#include "ui/testing.h"

namespace {

constexpr int kStatusFailed = 1;

int Screenshot(ui::Runtime& runtime, mqhxcpl_host::ControlPanelWindow& window,
               const std::string& file) {
    ui::testing::ScriptedUser user(runtime, [](const std::string& what) {
        std::fprintf(stderr, "mqhxcpl_host: %s\n", what.c_str());
    });
    bool saved = false;
    user.AnswerModal([&](ui::Form& dialog) {
        auto& list = dialog.Get<ui::ListView>("lvwBoards");
        if (list.ItemCount() > 0)
            user.ClickListRow(list, 0);
        saved = list.ItemCount() > 0 && dialog.Image().SavePng(file);
        dialog.Unload();
    });
    window.Open(0);
    if (!saved)
        std::fprintf(stderr, "mqhxcpl_host: no board list to save\n");
    return saved ? 0 : kStatusFailed;
}

}  // namespace

int main(int argc, char** argv) {
    std::string screenshot;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) {
            screenshot = argv[++i];
        } else {
            std::fprintf(stderr, "usage: mqhxcpl_host [--screenshot FILE]\n");
            return 2;
        }
    }
    if (!screenshot.empty())
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ui::Runtime runtime(argc, argv);
    runtime.app.title = "Control Panel";
    cplhost::ControlPanel host;
    if (host.Load(mqhxcpl_host::kAppletModule) != cplhost::LoadResult::kLoaded ||
        host.Applets().empty()) {
        std::fprintf(stderr, "mqhxcpl_host: cannot load %s\n", mqhxcpl_host::kAppletModule);
        return kStatusFailed;
    }
    mqhxcpl_host::ControlPanelWindow window(host);
    window.Show();
    // The program's main window: the loop ends when it closes.
    runtime.SetMdiFrame(&window);
    if (!screenshot.empty())
        return Screenshot(runtime, window, screenshot);
    window.Open(0);
    return runtime.Run();
}
