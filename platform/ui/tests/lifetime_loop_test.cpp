// Forms' lifetime (default instances, closed forms, MDI), the loop (posted messages in modal
// loops, Sleep, timers on the stand-ins' clock), the dispatcher's box, message-box recording,
// twips, End, help and launches.
#include <gtest/gtest.h>

#include <QWidget>

#include <atomic>
#include <thread>

#include "gui_fixture.h"
#include "simclock/clock.h"
#include "uilang/runtime_error.h"
#include "win32/messages.h"

namespace ui::testing {
namespace {

using namespace std::chrono_literals;

FormDesign SmallForm(const std::string& name, bool mdiChild = false) {
    FormDesign form;
    form.name = name;
    form.caption = name;
    form.left = 1500;
    form.top = 750;
    form.width = 4500;
    form.height = 3000;
    form.mdiChild = mdiChild;
    ControlDesign button;
    button.kind = Kind::CommandButton;
    button.name = "cmdOK";
    button.caption = "OK";
    button.left = 150;
    button.top = 300;
    button.width = 1500;
    button.height = 450;
    ControlDesign label;
    label.kind = Kind::Label;
    label.name = "lblText";
    label.caption = "design";
    ControlDesign timer;
    timer.kind = Kind::Timer;
    timer.name = "tmrTick";
    timer.interval = 100;
    timer.enabled = false;
    form.controls = {button, label, timer};
    return form;
}

class Dialog : public Form {
  public:
    Dialog() : Form(SmallForm("frmDialog")) {}
    int loads = 0;
    int unloads = 0;

  protected:
    void Bind() override {
        onLoad = [this] { ++loads; };
        onUnload = [this] { ++unloads; };
        Get<CommandButton>("cmdOK").onClick = [this] { Unload(); };
    }
};

using LifetimeTest = GuiTest;

TEST_F(LifetimeTest, TwipsAreFifteenToAPixel) {
    Form form(SmallForm("frmTwips"));
    form.Show();
    QWidget* button = form.Get<CommandButton>("cmdOK").Widget();
    EXPECT_EQ(button->geometry(), QRect(10, 20, 100, 30));
    EXPECT_EQ(form.Window()->width(), 300);
    EXPECT_EQ(runtime_->ScreenWidth() % kTwipsPerPixel, 0);
    EXPECT_GT(runtime_->ScreenWidth(), 0);
}

TEST_F(LifetimeTest, ADefaultInstanceIsMadeOnFirstUseAndAClosedOneIsNeverRevived) {
    DefaultInstance<Dialog> dialog;
    EXPECT_EQ(dialog.IfLoaded(), nullptr);
    auto first = dialog.Get();  // the first touch loads it
    EXPECT_EQ(first->loads, 1);
    first->Get<Label>("lblText").SetCaption("changed");
    first->Unload();
    EXPECT_EQ(first->unloads, 1);
    // Touching a control of the closed form does nothing and loads nothing.
    first->Get<Label>("lblText").SetCaption("after close");
    first->Get<CommandButton>("cmdOK").SetEnabled(false);
    EXPECT_FALSE(first->Loaded());
    EXPECT_EQ(first->Get<Label>("lblText").Caption(), "changed");
    EXPECT_TRUE(first->Get<CommandButton>("cmdOK").Enabled());
    EXPECT_EQ(dialog.IfLoaded(), nullptr);
    // The next use makes a fresh instance with the design-time state.
    auto second = dialog.Get();
    EXPECT_NE(second, first);
    EXPECT_EQ(second->Get<Label>("lblText").Caption(), "design");
}

TEST_F(LifetimeTest, ModalLoopsDispatchPostedMessagesAndSleepDoesNot) {
    static std::atomic<int> served{0};
    served = 0;
    WNDCLASSA wc{};
    wc.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (message == WM_USER + 103)
            ++served;
        return DefWindowProcA(hwnd, message, wParam, lParam);
    };
    wc.lpszClassName = "LoopTestWindow";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, "LoopTestWindow", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(window, nullptr);

    // Sleep blocks and dispatches nothing; the loop takes the message afterwards.
    std::thread([&] { PostMessageA(window, WM_USER + 103, 0, 0); }).join();
    Sleep(20);
    EXPECT_EQ(served, 0);
    EXPECT_TRUE(user_.PumpUntil([] { return served == 1; }));

    // Inside a modal form's loop a post from another thread is served at once.
    Dialog dialog;
    bool servedInside = false;
    user_.AnswerModal([&](Form& form) {
        std::thread([&] { PostMessageA(window, WM_USER + 103, 0, 0); }).join();
        servedInside = user_.PumpUntil([] { return served == 2; }, 5s);
        user_.Click(form.Get<CommandButton>("cmdOK"));
    });
    dialog.ShowModal();
    EXPECT_TRUE(servedInside);
    EXPECT_FALSE(dialog.Loaded());
    DestroyWindow(window);
    UnregisterClassA("LoopTestWindow", nullptr);
}

TEST_F(LifetimeTest, SleepOnAManualClockAdvancesIt) {
    simclock::testing::ManualClock clock;
    auto before = simclock::Now();
    Sleep(500);
    EXPECT_EQ(simclock::Now() - before, std::chrono::milliseconds(500));
}

TEST_F(LifetimeTest, AnUnansweredModalFailsAfterItsBoundAndNeverHangs) {
    std::vector<std::string> unanswered;
    runtime_->onUnanswered = [&](const std::string& what) { unanswered.push_back(what); };
    runtime_->modalBound = 50ms;
    Dialog dialog;
    dialog.ShowModal();
    EXPECT_EQ(unanswered.size(), 1u);
    EXPECT_FALSE(dialog.Loaded());
}

TEST_F(LifetimeTest, TimerTicksFollowTheManualClockAndLateTicksCoalesce) {
    simclock::testing::ManualClock clock;
    Form form(SmallForm("frmTimer"));
    form.Show();
    auto& timer = form.Get<Timer>("tmrTick");
    int ticks = 0;
    timer.onTimer = [&] { ++ticks; };
    timer.SetTimerEnabled(true);
    clock.Advance(99ms);
    user_.Pump();
    EXPECT_EQ(ticks, 0);
    clock.Advance(1ms);
    EXPECT_TRUE(user_.PumpUntil([&] { return ticks == 1; }));
    clock.Advance(1000ms);  // ten intervals late: one tick
    EXPECT_TRUE(user_.PumpUntil([&] { return ticks == 2; }));
    user_.Pump();
    EXPECT_EQ(ticks, 2);
    timer.SetTimerEnabled(false);
    clock.Advance(1000ms);
    user_.Pump();
    EXPECT_EQ(ticks, 2);
}

TEST_F(LifetimeTest, AnErrorEscapingAHandlerIsShownInTheDispatchersBoxAndTheProgramGoesOn) {
    Dialog dialog;
    dialog.Show();
    auto& ok = dialog.Get<CommandButton>("cmdOK");
    ok.onClick = [] { uilang::Raise(uilang::kErrOverflow); };
    EXPECT_TRUE(user_.Click(ok));
    ok.onClick = [] { throw uilang::RuntimeError(22038, "MQAcq32", "Subsystem not running"); };
    EXPECT_TRUE(user_.Click(ok));
    ASSERT_EQ(runtime_->MessageBoxes().size(), 2u);
    EXPECT_EQ(runtime_->MessageBoxes()[0].text, "Overflow");
    EXPECT_EQ(runtime_->MessageBoxes()[1].text, "Subsystem not running");
    EXPECT_EQ(runtime_->MessageBoxes()[1].flags, kMbExclamation);
    EXPECT_EQ(runtime_->MessageBoxes()[1].title, "Larkspur");
    EXPECT_TRUE(dialog.Loaded());
}

TEST_F(LifetimeTest, MessageBoxesAreRecordedWithTheApplicationTitleByDefaultAndAnswered) {
    EXPECT_EQ(runtime_->MsgBox("No MQ boards available", kMbExclamation), kIdOk);
    std::string seen;
    user_.AnswerBox([&](const MessageBoxRecord& box) {
        seen = box.text;
        return kIdOk;
    });
    runtime_->MsgBox("Data Acquisition Overrun!", kMbOkOnly, "Scope");
    ASSERT_EQ(runtime_->MessageBoxes().size(), 2u);
    EXPECT_EQ(runtime_->MessageBoxes()[0].title, "Larkspur");
    EXPECT_EQ(runtime_->MessageBoxes()[0].flags, kMbExclamation);
    EXPECT_EQ(runtime_->MessageBoxes()[1].title, "Scope");
    EXPECT_EQ(seen, "Data Acquisition Overrun!");
}

TEST_F(LifetimeTest, EndRunsNoUnloadEvent) {
    Dialog dialog;
    dialog.Show();
    dialog.Get<CommandButton>("cmdOK").onClick = [this] { runtime_->End(); };
    EXPECT_TRUE(user_.Click(dialog.Get<CommandButton>("cmdOK")));
    EXPECT_TRUE(runtime_->Ended());
    EXPECT_FALSE(dialog.Loaded());
    EXPECT_EQ(dialog.unloads, 0);
    EXPECT_EQ(runtime_->Run(), 0);
}

TEST_F(LifetimeTest, HelpCallsAndLaunchesAreRecordedAndCanFail) {
    runtime_->WinHelp(7, "larkspur.hlp", kHelpContents, 0);
    ASSERT_EQ(runtime_->HelpCalls().size(), 1u);
    EXPECT_EQ(runtime_->HelpCalls()[0].command, kHelpContents);
    runtime_->FailHelpCalls(true);
    EXPECT_THROW(runtime_->WinHelp(7, "larkspur.hlp", kHelpPartialKey, 0), uilang::RuntimeError);
    EXPECT_EQ(runtime_->HelpCalls().size(), 2u);
    runtime_->Shell("/bin/true");
    EXPECT_EQ(runtime_->Launches(), std::vector<std::string>{"/bin/true"});
    EXPECT_THROW(runtime_->Shell("/no/such/program"), uilang::RuntimeError);
}

// An MDI frame with two children: showing an open child keeps its state; closing the frame
// unloads every child first, each through its own Unload.
TEST_F(LifetimeTest, MdiChildrenShowOnceAndCloseBeforeTheFrame) {
    FormDesign frameDesign;
    frameDesign.name = "frmMain";
    frameDesign.caption = "Larkspur";
    frameDesign.mdiFrame = true;
    frameDesign.width = 9000;
    frameDesign.height = 7500;
    frameDesign.menus = {{"mnuView", "&View", false, {{"mnuViewToolbar", "&Toolbar", true, {}}}}};
    frameDesign.toolbar = {{"Scope", "Scope", 0}};
    frameDesign.statusPanels = {{StatusPanelDesign::Style::Text, "Status", "Status"},
                                {StatusPanelDesign::Style::Date, "", ""},
                                {StatusPanelDesign::Style::Time, "", ""}};
    Form frame(frameDesign);
    std::vector<std::string> order;
    frame.onUnload = [&] { order.push_back("frame"); };
    runtime_->SetMdiFrame(&frame);
    frame.Show();
    Form a(SmallForm("frmA", true));
    Form b(SmallForm("frmB", true));
    a.onUnload = [&] { order.push_back("a"); };
    b.onUnload = [&] { order.push_back("b"); };
    a.Show();
    b.Show();
    a.Get<Label>("lblText").SetCaption("kept");
    a.SetWindowState(WindowState::Minimized);
    a.Show();
    EXPECT_EQ(a.GetWindowState(), WindowState::Normal);
    EXPECT_EQ(a.Get<Label>("lblText").Caption(), "kept");
    frame.Arrange(Form::Arrangement::TileVertical);

    std::string clicked;
    frame.Menu("mnuViewToolbar").onClick = [&] {
        MenuItem& item = frame.Menu("mnuViewToolbar");
        item.SetChecked(!item.Checked());
        frame.SetToolbarVisible(item.Checked());
    };
    frame.onToolbarButton = [&](const std::string& key) { clicked = key; };
    EXPECT_TRUE(user_.ClickToolbarButton(frame, "Scope"));
    EXPECT_EQ(clicked, "Scope");
    EXPECT_TRUE(user_.ClickMenu(frame, "mnuViewToolbar"));
    EXPECT_FALSE(frame.Menu("mnuViewToolbar").Checked());
    EXPECT_FALSE(frame.ToolbarVisible());
    EXPECT_EQ(frame.StatusPanelText(1), "Status");
    EXPECT_EQ(frame.StatusPanelText(2).size(), 10u);  // 2026-12-11
    EXPECT_EQ(frame.StatusPanelText(3).size(), 8u);   // 01:02:03

    user_.Close(frame);
    EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "frame"}));
    EXPECT_FALSE(a.Loaded());
    EXPECT_FALSE(frame.Loaded());
}

TEST_F(LifetimeTest, KeyPreviewSeesKeysFirstAndMaySwallowThem) {
    FormDesign desc = SmallForm("frmKeys");
    desc.keyPreview = true;
    ControlDesign text;
    text.kind = Kind::TextBox;
    text.name = "txtFreq";
    text.width = 1500;
    text.height = 300;
    desc.controls.push_back(text);
    Form form(desc);
    std::vector<std::pair<int, int>> keys;
    form.onKeyDown = [&](int& code, int shift) {
        keys.emplace_back(code, shift);
        if (code == 'A')
            code = 0;  // swallowed
    };
    form.Show();
    auto& box = form.Get<TextBox>("txtFreq");
    ASSERT_TRUE(user_.Focus(box));
    EXPECT_TRUE(user_.KeyDown(form, 9, 2));  // Ctrl+Tab
    EXPECT_TRUE(user_.KeyDown(form, 'A'));
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0], std::make_pair(9, 2));
    EXPECT_EQ(box.Text(), "");
}

TEST_F(LifetimeTest, AFormsPictureSavesAsPngAndPrintsIntoTheMachine) {
    Dialog dialog;
    dialog.Show();
    Picture picture = dialog.Image();
    EXPECT_EQ(picture.Width(), 300);
    EXPECT_TRUE(picture.SavePng(PicturePath("lifetime_dialog")));
    dialog.PrintForm();
    ASSERT_EQ(runtime_->PrintJobs().size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(runtime_->PrintJobs()[0].file));
    EXPECT_EQ(Picture::Load(runtime_->PrintJobs()[0].file).Width(), 300);
}

TEST_F(LifetimeTest, FileDialogsAreAnsweredAndACancelRaisesOnlyWithCancelError) {
    FormDesign desc = SmallForm("frmFiles");
    ControlDesign dialog;
    dialog.kind = Kind::CommonDialog;
    dialog.name = "dlgFile";
    desc.controls.push_back(dialog);
    Form form(desc);
    form.Show();
    auto& files = form.Get<CommonDialog>("dlgFile");
    files.filter = "Chart Files (*.cht)|*.cht|All Files (*.*)|*.*";
    user_.AnswerFile([](std::string& name) {
        name = "/tmp/run1.cht";
        return true;
    });
    files.ShowSave();
    EXPECT_EQ(files.fileName, "/tmp/run1.cht");
    user_.AnswerFile([](std::string&) { return false; });
    files.ShowOpen();  // cancelled, without CancelError: nothing raised, nothing changed
    EXPECT_EQ(files.fileName, "/tmp/run1.cht");
    files.cancelError = true;
    user_.AnswerFile([](std::string&) { return false; });
    try {
        files.ShowOpen();
        FAIL() << "a cancel raised nothing";
    } catch (const uilang::RuntimeError& error) {
        EXPECT_EQ(error.Number(), uilang::kErrCancel);
    }
}

}  // namespace
}  // namespace ui::testing
