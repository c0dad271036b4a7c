#include "forms/main_form.h"

#include "forms/about_form.h"
#include "modules/acq_members.h"
#include "modules/app_info.h"
#include "modules/panels.h"
#include "ui/runtime.h"
#include "uilang/conversions.h"
#include "uilang/runtime_error.h"
#include "uilang/settings.h"

namespace larkspur {
namespace {

constexpr const char* kSection = "Settings";
constexpr int kDefaultLeft = 1000;
constexpr int kDefaultTop = 1000;
constexpr int kDefaultWidth = 6500;
constexpr int kDefaultHeight = 6500;
constexpr int kIconSize = 16;

MainForm* g_mainWindow = nullptr;

struct PanelCommand {
    const char* menu;
    const char* key;
};

// Menu items and the panels they open; the toolbar opens the same by key.
constexpr PanelCommand kPanelCommands[] = {
    {"mnuAcqSAin", "SAin"},   {"mnuAcqScope", "Scope"}, {"mnuAcqChart", "Chart"},
    {"mnuAcqFFT", "FFT"},     {"mnuAcqDin", "Din"},     {"mnuAcqMeasure", "Measure"},
    {"mnuCtlSAout", "SAout"}, {"mnuCtlDout", "Dout"},   {"mnuCtlPulse", "Pulse"},
    {"mnuCtlWave", "Wave"},
};

const char* const kToolTips[] = {
    "Single Analog Input", "Scope",         "Strip Chart",          "FFT",
    "Digital Input",       "Measure Freq.", "Single Analog Output", "Digital Output",
    "Pulse Gen.",          "Wave Gen."};

ui::MenuItemDesign Item(const char* name, const char* caption) {
    return {name, caption, false, {}};
}

// A placement value as stored, or its default when it is missing or does not read as a number.
int Placement(const char* key, int fallback) {
    std::string text = uilang::GetSetting(kTitle, kSection, key, std::to_string(fallback));
    if (!uilang::IsNumeric(text))
        return fallback;
    return uilang::CLng(uilang::Val(text));
}

// A button icon: a coloured square with the key's first letter.
ui::Picture Icon(int index, const char* key) {
    static const ui::Colour kColours[] = {0x00A0A0, 0x00C000, 0xC08000, 0xC000C0, 0x0080FF,
                                          0x808000, 0x0000C0, 0x800000, 0x008080, 0x404080};
    ui::Picture icon(kIconSize, kIconSize, kColours[index]);
    auto surface = icon.Paint();
    surface->SetPen(ui::kWhite, 1);
    surface->Text({0, 0, kIconSize, kIconSize}, std::string(1, key[0]), ui::Align::Centre);
    return icon;
}

ui::FormDesign MainDesign() {
    ui::FormDesign form;
    form.name = "frmMain";
    form.caption = "Larkspur";
    form.mdiFrame = true;
    form.width = kDefaultWidth;
    form.height = kDefaultHeight;
    form.menus = {
        {"mnuView",
         "&View",
         false,
         {{"mnuViewToolbar", "&Toolbar", true, {}}, {"mnuViewStatusBar", "Status &Bar", true, {}}}},
        {"mnuWindow",
         "&Window",
         false,
         {Item("mnuWindowCascade", "&Cascade"), Item("mnuWindowTileH", "Tile &Horizontal"),
          Item("mnuWindowTileV", "Tile &Vertical")}},
        {"mnuAcq",
         "&Acquisition",
         false,
         {Item("mnuAcqSAin", "Single &Analog Input"), Item("mnuAcqScope", "S&cope"),
          Item("mnuAcqChart", "S&trip Chart"), Item("mnuAcqFFT", "&FFT"),
          Item("mnuAcqDin", "&Digital Input"), Item("mnuAcqMeasure", "&Measure Frequency ")}},
        {"mnuCtl",
         "&Control",
         false,
         {Item("mnuCtlSAout", "Single &Analog Output"), Item("mnuCtlDout", "&Digital Output"),
          Item("mnuCtlPulse", "&Pulse Generator"), Item("mnuCtlWave", "&Wave Generator")}},
        {"mnuHelp",
         "&Help",
         false,
         {Item("mnuHelpContents", "&Contents"), Item("mnuHelpSearch", "&Search For Help On..."),
          Item("mnuHelpSep", "-"), Item("mnuHelpAbout", "&About ")}},
    };
    int i = 0;
    for (const char* key : kPanelKeys) {
        form.toolbar.push_back({key, kToolTips[i], i});
        form.toolbarImages.push_back(Icon(i, key));
        ++i;
    }
    form.statusPanels = {{ui::StatusPanelDesign::Style::Text, "Status", "Status"},
                         {ui::StatusPanelDesign::Style::Date, "", ""},
                         {ui::StatusPanelDesign::Style::Time, "", ""}};
    ui::ControlDesign acq;
    acq.kind = ui::Kind::Hosted;
    acq.name = "MQAcqMain";
    acq.progId = acq::kProgId;
    acq.visible = false;
    form.controls = {acq};
    return form;
}

}  // namespace

MainForm* MainWindow() {
    return g_mainWindow;
}

void SetMainWindow(MainForm* form) {
    g_mainWindow = form;
}

MainForm::MainForm() : ui::Form(MainDesign()) {}

void MainForm::Bind() {
    onLoad = [this] { LoadStep(); };
    onUnload = [this] { UnloadStep(); };
    Menu("mnuViewToolbar").onClick = [this] { FlipView("mnuViewToolbar", true); };
    Menu("mnuViewStatusBar").onClick = [this] { FlipView("mnuViewStatusBar", false); };
    Menu("mnuWindowCascade").onClick = [this] { Arrange(Arrangement::Cascade); };
    Menu("mnuWindowTileH").onClick = [this] { Arrange(Arrangement::TileHorizontal); };
    Menu("mnuWindowTileV").onClick = [this] { Arrange(Arrangement::TileVertical); };
    for (const PanelCommand& command : kPanelCommands) {
        std::string key = command.key;
        Menu(command.menu).onClick = [key] { OpenPanel(key); };
    }
    Menu("mnuHelpContents").onClick = [this] { Help(ui::kHelpContents); };
    Menu("mnuHelpSearch").onClick = [this] { Help(ui::kHelpPartialKey); };
    Menu("mnuHelpAbout").onClick = [this] {
        AboutForm about;
        about.ShowModal(this);
    };
    onToolbarButton = [this](const std::string& key) { ToolbarButton(key); };
}

void MainForm::LoadStep() {
    SetLeft(Placement("MainLeft", kDefaultLeft));
    SetTop(Placement("MainTop", kDefaultTop));
    SetWidth(Placement("MainWidth", kDefaultWidth));
    SetHeight(Placement("MainHeight", kDefaultHeight));
    InitMQBoards();
}

void MainForm::InitMQBoards() {
    auto& acq = Get<ui::HostedControl>("MQAcqMain").Members();
    if (uilang::ToShort(acq.Get(acq::dispid::numBoards)) != 0)
        return;
    ui::Runtime& runtime = ui::Runtime::Current();
    runtime.MsgBox(kNoBoards, ui::kMbExclamation, kTitle);
    runtime.End();
}

void MainForm::UnloadStep() {
    if (GetWindowState() == ui::WindowState::Minimized)
        return;
    uilang::SaveSetting(kTitle, kSection, "MainLeft", uilang::CStr(static_cast<float>(Left())));
    uilang::SaveSetting(kTitle, kSection, "MainTop", uilang::CStr(static_cast<float>(Top())));
    uilang::SaveSetting(kTitle, kSection, "MainWidth", uilang::CStr(static_cast<float>(Width())));
    uilang::SaveSetting(kTitle, kSection, "MainHeight", uilang::CStr(static_cast<float>(Height())));
}

void MainForm::FlipView(const char* item, bool toolbar) {
    ui::MenuItem& menu = Menu(item);
    menu.SetChecked(!menu.Checked());
    if (toolbar)
        SetToolbarVisible(menu.Checked());
    else
        SetStatusBarVisible(menu.Checked());
}

void MainForm::Help(std::uint32_t command) {
    ui::Runtime& runtime = ui::Runtime::Current();
    if (runtime.app.helpFile.empty()) {
        runtime.MsgBox(kNoHelp, ui::kMbInformation, Caption());
        return;
    }
    try {
        runtime.WinHelp(hWnd(), runtime.app.helpFile, command, 0);
    } catch (const uilang::RuntimeError& error) {
        runtime.MsgBox(error.Description(), ui::kMbOkOnly);
    }
}

void MainForm::ToolbarButton(const std::string& key) {
    for (const PanelCommand& command : kPanelCommands)
        if (key == command.key)
            return Menu(command.menu).onClick();
}

}  // namespace larkspur
