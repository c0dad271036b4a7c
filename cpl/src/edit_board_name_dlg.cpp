#include "edit_board_name_dlg.h"

#include <cstdio>

#include "board_names.h"
#include "panel_applet.h"
#include "ui/dialog_units.h"
#include "ui/runtime.h"

namespace mqhxcpl {
namespace {

ui::FormDesign EditBoardNameDesign() {
    using ui::DialogItem;
    using ui::Kind;
    ui::FormDesign form;
    form.name = "dlgEditBoardName";  // template 4006
    form.caption = "Edit Board Name...";
    form.width = ui::DluX(186);
    form.height = ui::DluY(69);
    ui::ControlDesign oldName = DialogItem(Kind::TextBox, "txtOldName", "", 80, 7, 99, 13);  // 4003
    oldName.locked = true;
    ui::ControlDesign ok = DialogItem(Kind::CommandButton, "cmdOK", "&OK", 75, 48, 50, 14);
    ok.isDefault = true;
    ui::ControlDesign cancel =
        DialogItem(Kind::CommandButton, "cmdCancel", "&Cancel", 129, 48, 50, 14);
    cancel.isCancel = true;
    form.controls = {
        DialogItem(Kind::Label, "lblOldName", "Old Board Name:", 7, 9, 72, 8),
        oldName,
        DialogItem(Kind::Label, "lblNewName", "New Board Name:", 7, 27, 72, 8),
        DialogItem(Kind::TextBox, "txtNewName", "", 80, 25, 99, 13),  // 4002
        ok,
        cancel,
    };
    return form;
}

}  // namespace

CEditBoardNameDlg::CEditBoardNameDlg(const std::string& currentName)
    : ui::Form(EditBoardNameDesign()), oldName_(currentName), newName_(currentName) {}

void CEditBoardNameDlg::Bind() {
    onLoad = [this] {
        Get<ui::TextBox>("txtOldName").SetText(oldName_);
        Get<ui::TextBox>("txtNewName").SetText(newName_);
        Get<ui::TextBox>("txtNewName").SetFocus();
    };
    Get<ui::CommandButton>("cmdOK").onClick = [this] { OnOK(); };
    Get<ui::CommandButton>("cmdCancel").onClick = [this] { Unload(); };
}

bool CEditBoardNameDlg::DoModal(ui::Form* owner) {
    accepted_ = false;
    ShowModal(owner);
    return accepted_;
}

void CEditBoardNameDlg::OnOK() {
    const auto& edit = Get<ui::TextBox>("txtNewName");
    if (edit.Modified()) {
        const std::string name = edit.Text();
        if (name.size() > kMaxBoardNameLength) {
            char text[sizeof kNameTooLongFormat + 8];
            std::snprintf(text, sizeof text, kNameTooLongFormat,
                          static_cast<int>(kMaxBoardNameLength));
            ui::Runtime::Current().MsgBox(text, ui::kMbOkOnly, kModuleAppName);
            return;
        }
        if (!IsValidBoardName(name)) {
            ui::Runtime::Current().MsgBox(kInvalidNameText, ui::kMbOkOnly, kModuleAppName);
            return;
        }
        newName_ = name;
    }
    accepted_ = true;
    Unload();
}

}  // namespace mqhxcpl
