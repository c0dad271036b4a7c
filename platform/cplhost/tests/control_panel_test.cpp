// The host talks to an applet module as the platform's Control Panel does: the order of the
// messages, both ways of describing an applet, opening one with the host's window, refusals at
// load, and the module's release.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cplhost/control_panel.h"
#include "test_applet.h"
#include "win32/module.h"

namespace cplhost {
namespace {

HWND WindowToken(std::uintptr_t token) {
    return reinterpret_cast<HWND>(token);
}

class ControlPanelTest : public ::testing::Test {
  protected:
    // The test's own reference keeps the module's record of what it received past the host's
    // release.
    ControlPanelTest() : module_(LoadLibraryA(kTestAppletModule)) {
        EXPECT_NE(module_, nullptr);
        setInit_ = reinterpret_cast<TestAppletSetInitAnswerProc>(
            GetProcAddress(module_, "TestAppletSetInitAnswer"));
        received_ =
            reinterpret_cast<TestAppletReceivedProc>(GetProcAddress(module_, "TestAppletReceived"));
        setInit_(1);
    }
    ~ControlPanelTest() override { FreeLibrary(module_); }

    std::vector<UINT> SentMessages() const {
        std::vector<UINT> messages;
        for (const Exchange& exchange : host_.Log())
            messages.push_back(exchange.message);
        return messages;
    }

    HMODULE module_;
    TestAppletSetInitAnswerProc setInit_ = nullptr;
    TestAppletReceivedProc received_ = nullptr;
    ControlPanel host_;
};

TEST_F(ControlPanelTest, LoadAsksEachAppletInBothFormsOnlyWhereItIsDynamic) {
    ASSERT_EQ(host_.Load(kTestAppletModule), LoadResult::kLoaded);
    EXPECT_EQ(SentMessages(), (std::vector<UINT>{CPL_INIT, CPL_GETCOUNT, CPL_INQUIRE, CPL_INQUIRE,
                                                 CPL_NEWINQUIRE}));
    ASSERT_EQ(host_.Applets().size(), 2u);
    const AppletInfo& fixed = host_.Applets()[0];
    EXPECT_FALSE(fixed.dynamic);
    EXPECT_EQ(fixed.iconId, kTestIconId);
    EXPECT_EQ(fixed.name, "Static Applet");  // from the module's string table
    EXPECT_EQ(fixed.info, "Described by resource ids");
    EXPECT_EQ(fixed.lData, kTestStaticData);

    const AppletInfo& dynamic = host_.Applets()[1];
    EXPECT_TRUE(dynamic.dynamic);
    EXPECT_EQ(dynamic.icon, kTestIcon);
    EXPECT_EQ(dynamic.name, std::string(32, 'N'));  // an unterminated field ends at its size
    EXPECT_EQ(dynamic.info, kTestDynamicInfo);
    EXPECT_EQ(dynamic.helpFile, kTestHelpFile);
    EXPECT_EQ(dynamic.helpContext, kTestHelpContext);
    EXPECT_EQ(dynamic.lData, kTestDynamicData);
}

TEST_F(ControlPanelTest, OpenPassesTheWindowAndTheAppletsDataAndUnloadStopsEveryApplet) {
    ASSERT_EQ(host_.Load(kTestAppletModule), LoadResult::kLoaded);
    const HWND window = WindowToken(0x10042);
    EXPECT_EQ(host_.Open(1, window), kTestDblClkAnswer);
    EXPECT_EQ(host_.Open(2, window), -1);  // no third applet: nothing sent
    host_.ClearLog();
    host_.Unload();
    EXPECT_FALSE(host_.Loaded());
    EXPECT_EQ(SentMessages(), (std::vector<UINT>{CPL_STOP, CPL_STOP, CPL_EXIT}));
    EXPECT_EQ(host_.Log()[1].lParam2, kTestDynamicData);

    const std::vector<TestAppletMessage>& received = *received_();
    auto open = std::find_if(received.begin(), received.end(),
                             [](const TestAppletMessage& m) { return m.message == CPL_DBLCLK; });
    ASSERT_NE(open, received.end());
    EXPECT_EQ(open->window, window);
    EXPECT_EQ(open->lParam1, 1);
    EXPECT_EQ(open->lParam2, kTestDynamicData);
}

TEST_F(ControlPanelTest, AModuleThatRefusesInitIsFreedWithoutExitAndMissingModulesAreReported) {
    setInit_(0);
    EXPECT_EQ(host_.Load(kTestAppletModule), LoadResult::kInitRefused);
    EXPECT_FALSE(host_.Loaded());
    EXPECT_EQ(SentMessages(), (std::vector<UINT>{CPL_INIT}));
    EXPECT_EQ(received_()->size(), 1u);

    EXPECT_EQ(host_.Load("no_such_applet.cpl"), LoadResult::kModuleNotFound);
    // A module without the entry point: the services stand-in's own library.
    EXPECT_EQ(host_.Load("platform_win32.dll"), LoadResult::kNoEntry);
}

}  // namespace
}  // namespace cplhost
