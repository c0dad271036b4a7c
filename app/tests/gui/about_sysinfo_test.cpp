// The splash window, the About box and the system information look-ups.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "forms/about_form.h"
#include "forms/splash_form.h"
#include "gui_fixture.h"
#include "modules/app_info.h"
#include "modules/sysinfo.h"
#include "win32/registry.h"

namespace larkspur {
namespace {

class AboutSysInfoTest : public ui::testing::GuiTest {
  protected:
    AboutSysInfoTest() { SetAppInfo(*runtime_); }

    static void SetValue(const char* key, const char* name, DWORD type, const void* data,
                         DWORD size) {
        HKEY handle = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &handle, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(handle, name, 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(handle);
    }
    static void SetText(const char* key, const char* name, const std::string& text) {
        SetValue(key, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
    }

    static constexpr const char* kPathKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
    static constexpr const char* kLocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
};

TEST_F(AboutSysInfoTest, SplashAndAboutShowTheVersionRecord) {
    SplashForm splash;
    splash.Show();
    EXPECT_EQ(splash.Get<ui::Label>("lblVersion").Caption(), "Version 1.0.6");
    EXPECT_EQ(splash.Get<ui::Label>("lblProductName").Caption(), "Larkspur");

    AboutForm about;
    user_.AnswerModal([&](ui::Form& form) {
        EXPECT_EQ(form.Caption(), "About Larkspur");
        EXPECT_EQ(form.Get<ui::Label>("lblTitle").Caption(), "Larkspur");
        EXPECT_EQ(form.Get<ui::Label>("lblVersion").Caption(), "Version 1.0.6");
        EXPECT_EQ(form.Get<ui::Label>("lblCompany").Caption(),
                  runtime_->app.companyName + "\n" + runtime_->app.legalCopyright);
        EXPECT_EQ(form.Get<ui::Label>("lblDescription").Caption(),
                  "Description: \n" + runtime_->app.fileDescription);
        EXPECT_EQ(form.Get<ui::Label>("lblDisclaimer").Caption(),
                  "Warning: " + runtime_->app.comments);
        form.Image().SavePng(PicturePath("about_box"));
        user_.Click(form.Get<ui::CommandButton>("cmdOK"));
    });
    about.ShowModal(&splash);
    EXPECT_FALSE(about.Loaded());
}

TEST_F(AboutSysInfoTest, GetKeyValueReadsTextsAndDoubleWordsAndFailsCleanly) {
    SetText("SOFTWARE\\Marquell\\Probe", "Text", "C:\\Tools");
    DWORD number = 0x00010203;
    SetValue("SOFTWARE\\Marquell\\Probe", "Number", REG_DWORD, &number, sizeof number);
    std::string text = "stale";
    EXPECT_TRUE(GetKeyValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Marquell\\Probe", "Text", text));
    EXPECT_EQ(text, "C:\\Tools");
    EXPECT_TRUE(GetKeyValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Marquell\\Probe", "Number", text));
    EXPECT_EQ(text, "66051");  // 0x00010203, every byte counted
    EXPECT_FALSE(GetKeyValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Marquell\\Probe", "Missing", text));
    EXPECT_EQ(text, "");
    EXPECT_FALSE(GetKeyValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Marquell\\None", "Text", text));
}

TEST_F(AboutSysInfoTest, SystemInformationStartsTheRegisteredToolOrSaysItIsUnavailable) {
    AboutForm about;
    about.Show();
    auto& button = about.Get<ui::CommandButton>("cmdSysInfo");
    user_.Click(button);  // nothing registered
    ASSERT_EQ(runtime_->MessageBoxes().size(), 1u);
    EXPECT_EQ(runtime_->MessageBoxes()[0].text, kSysInfoUnavailable);
    EXPECT_EQ(runtime_->MessageBoxes()[0].title, "Larkspur");

    // A directory without the tool in it.
    SetText(kLocationKey, "MSINFO", machine_.directory().string());
    user_.Click(button);
    EXPECT_EQ(runtime_->MessageBoxes().size(), 2u);
    // The tool in the named directory.
    std::string tool = machine_.directory().string() + "\\MSINFO32.EXE";
    std::ofstream(tool) << "#!/bin/sh\n";
    user_.Click(button);
    EXPECT_EQ(runtime_->Launches(), std::vector<std::string>{tool});
    // A path that names a missing file: the launch fails, and the message says so.
    SetText(kPathKey, "PATH", "/no/such/msinfo32");
    user_.Click(button);
    EXPECT_EQ(runtime_->MessageBoxes().size(), 3u);
    SetText(kPathKey, "PATH", "/bin/true");
    user_.Click(button);
    EXPECT_EQ(runtime_->Launches().back(), "/bin/true");
    EXPECT_EQ(runtime_->MessageBoxes().size(), 3u);
}

}  // namespace
}  // namespace larkspur
