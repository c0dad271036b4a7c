#include "about_box.h"

#include "ui/forms.h"
#include "ui/runtime.h"

namespace mqacq32 {
namespace {

constexpr int kBoxWidth = 5400;
constexpr int kBoxHeight = 2400;

ui::ControlDesign Item(ui::Kind kind, const char* name, const char* caption, int left, int top,
                       int width, int height) {
    ui::ControlDesign desc;
    desc.kind = kind;
    desc.name = name;
    desc.caption = caption;
    desc.left = left;
    desc.top = top;
    desc.width = width;
    desc.height = height;
    return desc;
}

ui::FormDesign AboutDesign() {
    ui::FormDesign desc;
    desc.name = "dlgAbout";  // dialog 100
    desc.caption = "About MQAcq32";
    desc.width = kBoxWidth;
    desc.height = kBoxHeight;
    desc.controls = {
        Item(ui::Kind::Label, "lblName", "MQAcq32 ActiveX Control, Version 2.6", 360, 300, 4680,
             300),
        Item(ui::Kind::Label, "lblCopyright", "Copyright (C) Marquell. All rights reserved.", 360,
             720, 4680, 300),
        Item(ui::Kind::CommandButton, "cmdOK", "OK", 3840, 1500, 1200, 375),
    };
    return desc;
}

class AboutForm : public ui::Form {
  public:
    AboutForm() : ui::Form(AboutDesign()) {}

  protected:
    void Bind() override {
        Get<ui::CommandButton>("cmdOK").onClick = [this] { Unload(); };
    }
};

}  // namespace

bool ShowAboutBox() {
    if (ui::Runtime::CurrentIfAny() == nullptr)
        return false;
    AboutForm box;
    box.ShowModal();
    return true;
}

}  // namespace mqacq32
