#include "about_box.h"

#include "ui/forms.h"
#include "ui/runtime.h"

namespace mqacq32 {
namespace {

constexpr int kBoxWidth = 5400;
constexpr int kBoxHeight = 2400;

ui::ControlSpec Item(ui::Kind kind, const char* name, const char* caption, int left, int top,
                     int width, int height) {
    ui::ControlSpec spec;
    spec.kind = kind;
    spec.name = name;
    spec.caption = caption;
    spec.left = left;
    spec.top = top;
    spec.width = width;
    spec.height = height;
    return spec;
}

ui::FormSpec AboutSpec() {
    ui::FormSpec spec;
    spec.name = "dlgAbout";  // dialog 100
    spec.caption = "About MQAcq32";
    spec.width = kBoxWidth;
    spec.height = kBoxHeight;
    spec.controls = {
        Item(ui::Kind::Label, "lblName", "MQAcq32 ActiveX Control, Version 2.6", 360, 300, 4680,
             300),
        Item(ui::Kind::Label, "lblCopyright", "Copyright (C) Marquell. All rights reserved.", 360,
             720, 4680, 300),
        Item(ui::Kind::CommandButton, "cmdOK", "OK", 3840, 1500, 1200, 375),
    };
    return spec;
}

class AboutForm : public ui::Form {
  public:
    AboutForm() : ui::Form(AboutSpec()) {}

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
