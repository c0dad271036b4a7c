#include "control_panel_window.h"

#include "ui/icons.h"

namespace mqhxcpl_host {
namespace {

constexpr int kWindowWidth = 7200;
constexpr int kWindowHeight = 3600;
constexpr int kMargin = 120;
constexpr int kNameColumnWidth = 3000;
constexpr int kInfoColumnWidth = 3600;

ui::FormDesign WindowDesign() {
    ui::ControlDesign list;
    list.kind = ui::Kind::ListView;
    list.name = "lvwApplets";
    list.left = kMargin;
    list.top = kMargin;
    list.width = kWindowWidth - 2 * kMargin;
    list.height = kWindowHeight - 2 * kMargin;
    ui::FormDesign form;
    form.name = "frmControlPanel";
    form.caption = "Control Panel";
    form.width = kWindowWidth;
    form.height = kWindowHeight;
    form.controls = {list};
    return form;
}

}  // namespace

ControlPanelWindow::ControlPanelWindow(cplhost::ControlPanel& host)
    : ui::Form(WindowDesign()), host_(host) {}

void ControlPanelWindow::Bind() {
    onLoad = [this] {
        ui::ListView& list = Applets();
        list.InsertColumn(0, "Name", kNameColumnWidth);
        list.InsertColumn(1, "Description", kInfoColumnWidth);
        std::vector<ui::Picture> icons;
        for (const cplhost::AppletInfo& applet : host_.Applets())
            icons.push_back(ui::IconPicture(applet.icon));
        list.SetSmallImages(std::move(icons));
        int row = 0;
        for (const cplhost::AppletInfo& applet : host_.Applets()) {
            list.InsertItem(row, applet.name, row);
            list.SetItemText(row, 1, applet.info);
            ++row;
        }
    };
    Applets().onDblClick = [this] {
        if (Applets().SelectedRow() >= 0)
            Open(static_cast<std::size_t>(Applets().SelectedRow()));
    };
}

LONG ControlPanelWindow::Open(std::size_t applet) {
    return host_.Open(applet, reinterpret_cast<HWND>(static_cast<std::uintptr_t>(hWnd())));
}

}  // namespace mqhxcpl_host
