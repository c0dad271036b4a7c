// Start-up and the main window: the board check, placement memory, menus and toolbar opening
// single panel instances, the view toggles, help and the About box.
#include <gtest/gtest.h>

#include "app_fixture.h"
#include "forms/main_form.h"
#include "simclock/clock.h"
#include "uilang/settings.h"

namespace larkspur::testing {
namespace {

class MainWindowTest : public AppTest {
  protected:
    MainWindowTest() : AppTest() {}
    explicit MainWindowTest(std::vector<std::string> boards) : AppTest(std::move(boards)) {}
    ~MainWindowTest() override { main_.reset(); }

    // The start routine; its splash wait runs on a manual clock.
    void StartProgram() {
        simclock::testing::ManualClock clock;
        auto before = simclock::Now();
        main_ = Start(*runtime_);
        splashWait_ = simclock::Now() - before;
    }
    std::string Stored(const char* key) {
        return uilang::GetSetting("Larkspur", "Settings", key, "missing");
    }

    std::unique_ptr<MainForm> main_;
    simclock::Duration splashWait_{};
};

TEST_F(MainWindowTest, AFirstStartOpensAtTheDefaultPlacementAfterTheSplash) {
    StartProgram();
    ASSERT_NE(main_, nullptr);
    EXPECT_EQ(splashWait_, std::chrono::milliseconds(2500));
    EXPECT_TRUE(main_->Visible());
    EXPECT_EQ(main_->Caption(), "Larkspur");
    EXPECT_EQ(main_->Left(), 1000);
    EXPECT_EQ(main_->Top(), 1000);
    EXPECT_EQ(main_->Width(), 6500);
    EXPECT_EQ(main_->Height(), 6500);
    EXPECT_EQ(runtime_->LoadedForms().size(), 1u);  // the splash is gone
    EXPECT_EQ(main_->StatusPanelText(1), "Status");
    EXPECT_TRUE(runtime_->MessageBoxes().empty());
    main_->Image().SavePng(PicturePath("main_window"));
}

TEST_F(MainWindowTest, PlacementIsSavedAtCloseAndRestoredButAMinimizedCloseSavesNothing) {
    StartProgram();
    main_->SetLeft(1500);
    main_->SetWidth(9000);
    user_.Close(*main_);
    EXPECT_EQ(Stored("MainLeft"), "1500");
    EXPECT_EQ(Stored("MainWidth"), "9000");
    EXPECT_EQ(Stored("MainTop"), "1000");

    StartProgram();
    EXPECT_EQ(main_->Left(), 1500);
    EXPECT_EQ(main_->Width(), 9000);
    main_->SetLeft(3000);
    main_->SetWindowState(ui::WindowState::Minimized);
    user_.Close(*main_);
    EXPECT_EQ(Stored("MainLeft"), "1500");
}

TEST_F(MainWindowTest, AStoredValueThatIsNotANumberCountsAsMissing) {
    uilang::SaveSetting("Larkspur", "Settings", "MainTop", "corrupt");
    uilang::SaveSetting("Larkspur", "Settings", "MainHeight", "7200");
    StartProgram();
    ASSERT_NE(main_, nullptr);
    EXPECT_EQ(main_->Top(), 1000);
    EXPECT_EQ(main_->Height(), 7200);
    EXPECT_TRUE(runtime_->MessageBoxes().empty());
    user_.Close(*main_);
    EXPECT_EQ(Stored("MainTop"), "1000");  // the next unload writes a good value
}

TEST_F(MainWindowTest, MenusAndToolbarOpenOneInstanceOfAPanelAndKeepItsState) {
    StartProgram();
    ASSERT_TRUE(user_.ClickMenu(*main_, "mnuAcqScope"));
    auto scope = ScopeIfLoaded();
    ASSERT_NE(scope, nullptr);
    EXPECT_TRUE(scope->Visible());
    ASSERT_TRUE(user_.Choose(scope->Get<ui::ComboBox>("cboBoard"), kMq5120));
    ASSERT_TRUE(user_.ClickToolbarButton(*main_, "Scope"));
    EXPECT_EQ(ScopeIfLoaded(), scope);
    EXPECT_EQ(scope->Caption(), "Scope - MQ5120(00)");
    ASSERT_TRUE(user_.ClickMenu(*main_, "mnuAcqScope"));
    EXPECT_EQ(ScopeIfLoaded(), scope);
    EXPECT_TRUE(user_.ClickMenu(*main_, "mnuWindowTileV"));
    EXPECT_TRUE(user_.ClickMenu(*main_, "mnuWindowCascade"));
    // Closing the frame closes the panel first, through its own unload.
    user_.Close(*main_);
    EXPECT_FALSE(scope->Loaded());
    EXPECT_EQ(LiveBuffers(), 0u);
}

TEST_F(MainWindowTest, ViewTogglesHelpAndTheAboutBox) {
    StartProgram();
    ASSERT_TRUE(user_.ClickMenu(*main_, "mnuViewToolbar"));
    EXPECT_FALSE(main_->ToolbarVisible());
    EXPECT_FALSE(main_->Menu("mnuViewToolbar").Checked());
    ASSERT_TRUE(user_.ClickMenu(*main_, "mnuViewToolbar"));
    EXPECT_TRUE(main_->ToolbarVisible());
    ASSERT_TRUE(user_.ClickMenu(*main_, "mnuViewStatusBar"));
    EXPECT_FALSE(main_->StatusBarVisible());

    ASSERT_TRUE(user_.ClickMenu(*main_, "mnuHelpContents"));
    ASSERT_TRUE(user_.ClickMenu(*main_, "mnuHelpSearch"));
    ASSERT_EQ(runtime_->HelpCalls().size(), 2u);
    EXPECT_EQ(runtime_->HelpCalls()[0].command, ui::kHelpContents);
    EXPECT_EQ(runtime_->HelpCalls()[1].command, ui::kHelpPartialKey);
    EXPECT_EQ(runtime_->HelpCalls()[0].file, "larkspur.hlp");
    EXPECT_EQ(runtime_->HelpCalls()[0].hwnd, main_->hWnd());
    runtime_->FailHelpCalls(true);
    ASSERT_TRUE(user_.ClickMenu(*main_, "mnuHelpContents"));
    ASSERT_EQ(runtime_->MessageBoxes().size(), 1u);
    EXPECT_EQ(runtime_->MessageBoxes()[0].flags, ui::kMbOkOnly);
    runtime_->app.helpFile.clear();
    ASSERT_TRUE(user_.ClickMenu(*main_, "mnuHelpSearch"));
    ASSERT_EQ(runtime_->MessageBoxes().size(), 2u);
    EXPECT_EQ(runtime_->MessageBoxes()[1].text, kNoHelp);
    EXPECT_EQ(runtime_->MessageBoxes()[1].flags, ui::kMbInformation);
    EXPECT_EQ(runtime_->MessageBoxes()[1].title, "Larkspur");
    EXPECT_EQ(runtime_->HelpCalls().size(), 3u);

    bool shown = false;
    user_.AnswerModal([&](ui::Form& about) {
        shown = about.Caption() == "About Larkspur";
        user_.Click(about.Get<ui::CommandButton>("cmdSysInfo"));
        user_.Click(about.Get<ui::CommandButton>("cmdOK"));
    });
    ASSERT_TRUE(user_.ClickMenu(*main_, "mnuHelpAbout"));
    EXPECT_TRUE(shown);
    EXPECT_EQ(runtime_->MessageBoxes().back().text,
              "System Information Is Unavailable At This Time");
}

class NoBoardTest : public MainWindowTest {
  protected:
    NoBoardTest() : MainWindowTest({"# no board on this bench"}) {}
};

TEST_F(NoBoardTest, WithoutABoardTheProgramSaysSoAndEndsAtOnce) {
    StartProgram();
    EXPECT_EQ(main_, nullptr);
    EXPECT_TRUE(runtime_->Ended());
    ASSERT_EQ(runtime_->MessageBoxes().size(), 1u);
    EXPECT_EQ(runtime_->MessageBoxes()[0].text, "No MQ boards available");
    EXPECT_EQ(runtime_->MessageBoxes()[0].flags, ui::kMbExclamation);
    EXPECT_EQ(runtime_->MessageBoxes()[0].title, "Larkspur");
    EXPECT_TRUE(runtime_->LoadedForms().empty());
    EXPECT_EQ(Stored("MainLeft"), "missing");  // nothing saved
}

}  // namespace
}  // namespace larkspur::testing
