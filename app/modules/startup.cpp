#include "modules/startup.h"

#include "forms/splash_form.h"
#include "modules/acq_members.h"
#include "modules/app_info.h"
#include "modules/panels.h"
#include "mqplot32/plot_control.h"
#include "scripting/file_system.h"
#include "spreadsheet/application.h"
#include "ui/com_hosting.h"

namespace larkspur {

void RegisterControlClasses() {
    mqplot32::RegisterPlotClass();
    ui::RegisterServerModule(acq::kModuleName);
    ui::RegisterComControlClass(acq::kProgId);
    // Automation servers the strip chart makes by ProgID.
    ui::RegisterServerModule(scripting::kModuleName);
    ui::RegisterServerModule(spreadsheet::kModuleName);
}

std::unique_ptr<MainForm> Start(ui::Runtime& runtime) {
    SetAppInfo(runtime);
    RegisterControlClasses();
    RegisterPanels();
    SplashForm splash;
    splash.Show();
    splash.Refresh();
    ui::Sleep(kSplashMilliseconds);
    auto main = std::make_unique<MainForm>();
    SetMainWindow(main.get());
    try {
        main->Load();
    } catch (const ui::EndRequest&) {
        SetMainWindow(nullptr);
        return nullptr;
    }
    splash.Unload();
    runtime.SetMdiFrame(main.get());
    main->Show();
    return main;
}

}  // namespace larkspur
