// The splash window and the About box.
#include "forms/about_form.h"
#include "forms/splash_form.h"
#include "modules/app_info.h"
#include "modules/sysinfo.h"
#include "ui/runtime.h"

namespace larkspur {
namespace {

ui::ControlSpec LabelAt(const char* name, const char* caption, int top, int height) {
    ui::ControlSpec spec;
    spec.kind = ui::Kind::Label;
    spec.name = name;
    spec.caption = caption;
    spec.left = 1500;
    spec.top = top;
    spec.width = 4200;
    spec.height = height;
    return spec;
}

ui::ControlSpec Button(const char* name, const char* caption, int left, int top) {
    ui::ControlSpec spec;
    spec.kind = ui::Kind::CommandButton;
    spec.name = name;
    spec.caption = caption;
    spec.left = left;
    spec.top = top;
    spec.width = 1500;
    spec.height = 375;
    return spec;
}

ui::FormSpec SplashSpec() {
    ui::FormSpec form;
    form.name = "frmSplash";
    form.caption = "";
    form.width = 6000;
    form.height = 3000;
    form.controls = {LabelAt("lblProductName", "", 600, 600), LabelAt("lblVersion", "", 1500, 300),
                     LabelAt("lblCompany", "Marquell", 2100, 300)};
    return form;
}

ui::FormSpec AboutSpec() {
    ui::FormSpec form;
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

SplashForm::SplashForm() : ui::Form(SplashSpec()) {}

void SplashForm::Bind() {
    onLoad = [this] {
        const ui::AppInfo& app = ui::Runtime::Current().app;
        Get<ui::Label>("lblVersion").SetCaption(VersionText(app));
        Get<ui::Label>("lblProductName").SetCaption(app.title);
    };
}

AboutForm::AboutForm() : ui::Form(AboutSpec()) {}

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
