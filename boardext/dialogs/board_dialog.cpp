#include "board_dialog.h"

#include "ui/dialog_units.h"
#include "ui/runtime.h"

namespace boardext::dialogs {
namespace {

constexpr int kButtonWidth = 50;
constexpr int kButtonHeight = 14;
constexpr int kMargin = 7;
constexpr int kBitBoxWidth = 36;
constexpr int kBitBoxHeight = 10;
constexpr int kBitColumns = 4;
constexpr int kBitsPerPort = 8;

}  // namespace

std::string StatusText(HXSTATUS status) {
    char text[kDialogErrorTextSize] = "";
    hxDaGetErrorString(status, text, kDialogErrorTextSize);
    return text;
}

std::string DeviceInUseText(const std::string& modelWord) {
    return "Device Selected may be in use. Quit all " + modelWord +
           " related applications and try again.";
}

void ShowBox(const std::string& text, const char* title) {
    ui::Runtime::Current().MsgBox(text, ui::kMbExclamation, title);
}

BoardDialog::BoardDialog(ui::FormDesign desc, HDEV device)
    : ui::Form(std::move(desc)), device_(device) {}

void BoardDialog::Bind() {
    onLoad = [this] {
        ended_ = OnOpen();
        if (ended_ != HXNOERROR)
            Unload();
    };
    Get<ui::CommandButton>("cmdOK").onClick = [this] {
        Unload();
        OnApply();
    };
    Get<ui::CommandButton>("cmdCancel").onClick = [this] { Unload(); };
}

HXSTATUS BoardDialog::DoModal() {
    ShowModal();
    return ended_;
}

bool BoardDialog::Checked(const char* name, int index) const {
    return Get<ui::CheckBox>(name, index).Value();
}

void BoardDialog::SetChecked(const char* name, bool checked, int index) {
    Get<ui::CheckBox>(name, index).SetValue(checked);
}

ui::FormDesign DialogDesign(const char* caption, int width, int height,
                            std::vector<ui::ControlDesign> controls) {
    using ui::DialogItem;
    ui::FormDesign form;
    form.name = "dlgBoardOptions";  // resource 2000
    form.caption = caption;
    form.width = ui::DluX(width);
    form.height = ui::DluY(height);
    const int top = height - kMargin - kButtonHeight;
    ui::ControlDesign ok =
        DialogItem(ui::Kind::CommandButton, "cmdOK", "OK", width - 2 * (kButtonWidth + kMargin),
                   top, kButtonWidth, kButtonHeight);
    ok.isDefault = true;
    ui::ControlDesign cancel =
        DialogItem(ui::Kind::CommandButton, "cmdCancel", "Cancel", width - kButtonWidth - kMargin,
                   top, kButtonWidth, kButtonHeight);
    cancel.isCancel = true;
    controls.push_back(ok);
    controls.push_back(cancel);
    form.controls = std::move(controls);
    return form;
}

void AddBitBoxes(std::vector<ui::ControlDesign>& controls, const char* name, const char* frame,
                 const char* captionPrefix, int x, int y) {
    for (int bit = 0; bit < kBitsPerPort; ++bit) {
        const std::string caption = captionPrefix + std::to_string(bit);
        ui::ControlDesign box = ui::DialogItem(
            ui::Kind::CheckBox, name, "", x + (bit % kBitColumns) * (kBitBoxWidth + 2),
            y + (bit / kBitColumns) * (kBitBoxHeight + 2), kBitBoxWidth, kBitBoxHeight);
        box.caption = caption;
        box.index = bit;
        box.container = frame;
        controls.push_back(box);
    }
}

}  // namespace boardext::dialogs
