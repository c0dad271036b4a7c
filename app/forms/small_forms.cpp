// The splash window and the About box.
#include "forms/about_form.h"
#include "forms/splash_form.h"
#include "modules/app_info.h"
#include "modules/sysinfo.h"
#include "ui/runtime.h"

namespace larkspur {
namespace {

ui::ControlDesign LabelAt(const char* name, const char* caption, int top, int height) {
    ui::ControlDesign desc;
    desc.kind = ui::Kind::Label;
    desc.name = name;
    desc.caption = caption;
    desc.left = 1500;
    desc.top = top;
    desc.width = 4200;
    desc.height = height;
    return desc;
}

ui::ControlDesign Button(const char* name, const char* caption, int left, int top) {
    ui::ControlDesign desc;
    desc.kind = ui::Kind::CommandButton;
    desc.name = name;
    desc.caption = caption;
    desc.left = left;
    desc.top = top;
    desc.width = 1500;
    desc.height = 375;
    return desc;
}

ui::FormDesign SplashDesign() {
    ui::FormDesign form;
    form.name = "frmSplash";
    form.caption = "";
    form.width = 6000;
    form.height = 3000;
    form.controls = {LabelAt("lblProductName", "", 600, 600), LabelAt("lblVersion", "", 1500, 300),
                     LabelAt("lblCompany", "Marquell", 2100, 300)};
    return form;
}

ui::FormDesign AboutDesign() {
    ui::FormDesign form;
    form.name = "frmAbout";
    form.caption = "About Larkspur";
    form.width = 6300;
    form.height = 4200;
    form.controls = {
        LabelAt("lblTitle", "", 240, 480),
        LabelAt("lblCompany", "", 780, 480),
        LabelAt("lblVersion", "", 1320, 300),
        LabelAt("lblDescription", "Description: ", 1680, 600),
        LabelAt("lblDisclaimer", "Warning: ", 2340, 600),
        Button("cmdOK", "OK", 4560, 3060),
        Button("cmdSysInfo", "&System Info...", 4560, 3540),
    };
    return form;
}

}  // namespace

SplashForm::SplashForm() : ui::Form(SplashDesign()) {}

void SplashForm::Bind() {
    onLoad = [this] {
        const ui::AppInfo& app = ui::Runtime::Current().app;
        Get<ui::Label>("lblVersion").SetCaption(VersionText(app));
        Get<ui::Label>("lblProductName").SetCaption(app.title);
    };
}

AboutForm::AboutForm() : ui::Form(AboutDesign()) {}

void AboutForm::Bind() {
    onLoad = [this] {
        const ui::AppInfo& app = ui::Runtime::Current().app;
        Get<ui::Label>("lblTitle").SetCaption(app.title);
        Get<ui::Label>("lblCompany").SetCaption(app.companyName + "\n" + app.legalCopyright);
        Get<ui::Label>("lblVersion").SetCaption(VersionText(app));
        auto& description = Get<ui::Label>("lblDescription");
        description.SetCaption(description.Caption() + "\n" + app.fileDescription);
        auto& warning = Get<ui::Label>("lblDisclaimer");
        warning.SetCaption(warning.Caption() + app.comments);
    };
    Get<ui::CommandButton>("cmdOK").onClick = [this] { Unload(); };
    Get<ui::CommandButton>("cmdSysInfo").onClick = [] { StartSysInfo(); };
}

}  // namespace larkspur
