#include "modules/app_info.h"

#include "uilang/runtime_error.h"

namespace larkspur {
namespace {

constexpr int kMajor = 1;
constexpr int kMinor = 0;
constexpr int kRevision = 6;

}  // namespace

void SetAppInfo(ui::Runtime& runtime) {
    ui::AppInfo& app = runtime.app;
    app.title = kTitle;
    app.helpFile = kHelpFile;
    app.major = kMajor;
    app.minor = kMinor;
    app.revision = kRevision;
    app.companyName = "Marquell";
    app.legalCopyright = "Copyright (C) Marquell. All rights reserved.";
    app.fileDescription = "Instrument panels for Marquell data-acquisition boards";
    app.comments = "Drives the boards installed on this machine; outputs reach real signals.";
    uilang::SetErrorSource(kTitle);
}

std::string VersionText(const ui::AppInfo& app) {
    return "Version " + std::to_string(app.major) + "." + std::to_string(app.minor) + "." +
           std::to_string(app.revision);
}

}  // namespace larkspur
