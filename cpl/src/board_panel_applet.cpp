#include "board_panel_applet.h"

#include <cstdio>

#include "board_list_dlg.h"
#include "icons.h"
#include "module_strings.h"
#include "ui/icons.h"
#include "ui/runtime.h"
#include "win32/debug.h"

namespace mqhxcpl {
namespace {

// The form whose window the host handed over, when it is one of the runtime's forms.
ui::Form* FormOfWindow(ui::Runtime& runtime, HWND window) {
    const auto token = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window));
    for (ui::Form* form : runtime.LoadedForms())
        if (token != 0 && form->hWnd() == token)
            return form;
    return nullptr;
}

// Copies a text into a field of the record, cut to the field's size less its terminator.
template <std::size_t N>
void CopyField(CHAR (&field)[N], const std::string& text) {
    std::snprintf(field, N, "%s", text.c_str());
}

}  // namespace

CBoardPanelApplet::~CBoardPanelApplet() {
    if (icon_ != 0)
        ui::DestroyIconHandle(icon_);
}

LONG CBoardPanelApplet::OnNewInquire(UINT, NEWCPLINFOA* info) {
    if (info == nullptr)
        return 0;
    if (icon_ == 0)
        icon_ = ui::CreateIconHandle(IconImage(kIconApplet));
    *info = NEWCPLINFOA{};
    info->dwSize = sizeof(NEWCPLINFOA);
    info->hIcon = icon_;
    CopyField(info->szName, LoadModuleString(kIdsAppletName));
    CopyField(info->szInfo, LoadModuleString(kIdsAppletDescription));
    CopyField(info->szHelpFile, LoadModuleString(kIdsHelpFile));
    return 0;
}

LONG CBoardPanelApplet::OnDblClk(HWND window, UINT, LONG) {
    ui::Runtime* runtime = ui::Runtime::CurrentIfAny();
    if (runtime == nullptr) {
        OutputDebugStringA("mqhxcpl: the host has no forms runtime; nothing shown\n");
        return 0;
    }
    // A fresh dialog each time: an empty list, not read only.
    CBoardListDlg dialog;
    dialog.DoModal(FormOfWindow(*runtime, window));
    return 0;
}

}  // namespace mqhxcpl
