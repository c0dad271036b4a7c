// The control's page announcement and its Device page on the simulated machine's boards.
#include <algorithm>
#include <cstdint>
#include <fstream>

#include "com/browsing.h"
#include "page_fixture.h"
#include "ui/runtime.h"
#include "win32/strings.h"

namespace controltest {
namespace {

using mqacq32::pages::kDevicePage;

constexpr int kBoardCombo = 205;
constexpr int kSubsystemCombo = 206;
constexpr std::size_t kPageCount = 8;
constexpr int kMq5204Subsystems = 6;

std::string ModuleString(HMODULE module, UINT id) {
    char text[256] = {};
    LoadStringA(module, id, text, sizeof(text));
    return text;
}

using PageTestAnnouncement = PageTest;

TEST_F(PageTestAnnouncement, AnnouncesEightPagesInOrderAndMapsTheListsToTheListsPage) {
    Ref<ISpecifyPropertyPages> specify;
    ASSERT_EQ(control->dispatch->QueryInterface(IID_ISpecifyPropertyPages, specify.outVoid()),
              S_OK);
    CAUUID pages{0, nullptr};
    ASSERT_EQ(specify->GetPages(&pages), S_OK);
    ASSERT_EQ(pages.cElems, kPageCount);
    std::vector<std::string> captions;
    for (ULONG i = 0; i < pages.cElems; ++i) {
        const auto* identity = std::find_if(std::begin(mqacq32::pages::kAnnouncedPages),
                                            std::end(mqacq32::pages::kAnnouncedPages),
                                            [&](const mqacq32::pages::PageIdentity* page) {
                                                return page->clsid == pages.pElems[i];
                                            });
        ASSERT_NE(identity, std::end(mqacq32::pages::kAnnouncedPages));
        captions.push_back(ModuleString(module.module(), (*identity)->caption));
    }
    const GUID lists = mqacq32::pages::kListsPage.clsid;
    EXPECT_EQ(pages.pElems[4], lists);
    CoTaskMemFree(pages.pElems);
    EXPECT_EQ(captions,
              (std::vector<std::string>{"Device", "Hardware", "Clocks", "Triggers", "Lists",
                                        "Data I/O", "Counter/Timer", "Quadrature Decoders"}));

    Ref<IPerPropertyBrowsing> browsing;
    ASSERT_EQ(control->dispatch->QueryInterface(IID_IPerPropertyBrowsing, browsing.outVoid()),
              S_OK);
    struct Case {
        DISPID id;
        bool lists;
    };
    for (const Case& c :
         {Case{mqacq32::dispid::ChannelList, true}, Case{mqacq32::dispid::GainList, true},
          Case{mqacq32::dispid::FilterList, true}, Case{mqacq32::dispid::InhibitList, true},
          Case{mqacq32::dispid::DIOList, true}, Case{mqacq32::dispid::ListSize, false},
          Case{mqacq32::dispid::GetSSCapsEx, false}, Case{mqacq32::dispid::ResolutionValues, false},
          Case{mqacq32::dispid::Board, false}}) {
        CLSID page = lists;
        EXPECT_EQ(browsing->MapPropertyToPage(c.id, &page),
                  c.lists ? S_OK : PERPROP_E_NOPAGEAVAILABLE)
            << c.id;
        EXPECT_EQ(page, c.lists ? lists : CLSID_NULL) << c.id;
    }
}

TEST_F(PageTestAnnouncement, RegistersThePageClassesWithTheirCaptionAndHelp) {
    Ref<IPropertyPage> page;
    ASSERT_EQ(CoCreateInstance(kDevicePage.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage,
                               page.outVoid()),
              S_OK);
    PROPPAGEINFO info{};
    ASSERT_EQ(page->GetPageInfo(&info), S_OK);
    const std::u16string title(info.pszTitle);
    const std::u16string helpFile(info.pszHelpFile);
    CoTaskMemFree(info.pszTitle);
    CoTaskMemFree(info.pszDocString);
    CoTaskMemFree(info.pszHelpFile);
    EXPECT_EQ(title, u"Device");
    EXPECT_TRUE(helpFile.ends_with(u"\\Velkor.hlp"));
    EXPECT_EQ(info.dwHelpContext, kDevicePage.helpContext);
}

// Help on each page opens the module's help file at the page's own context.
TEST_F(PageTestAnnouncement, HelpOpensEachPagesContext) {
    open(kMq5120, kAdIndex);
    const mqacq32::pages::PageIdentity* pages[] = {
        &mqacq32::pages::kDevicePage, &mqacq32::pages::kHardwarePage, &mqacq32::pages::kClocksPage,
        &mqacq32::pages::kListsPage, &mqacq32::pages::kDataIoPage};
    std::vector<CLSID> classes;
    for (const auto* page : pages)
        classes.push_back(page->clsid);
    std::vector<std::uint32_t> pageWindows;
    ShowPages(classes, [&](ui::PropertyFrameDialog& dialog, ui::Form&) {
        for (int tab = 1; tab <= dialog.Tabs().Count(); ++tab) {
            EXPECT_TRUE(user_.ClickTab(dialog.Tabs(), tab));
            pageWindows.push_back(dialog.ShownPage()->hWnd());
            EXPECT_TRUE(user_.Click(dialog.HelpButton()));
        }
    });
    ASSERT_EQ(runtime_->HelpCalls().size(), std::size(pages));
    for (std::size_t i = 0; i < std::size(pages); ++i) {
        const ui::HelpCall& call = runtime_->HelpCalls()[i];
        EXPECT_EQ(call.hwnd, pageWindows[i]);
        EXPECT_TRUE(call.file.ends_with("\\Velkor.hlp")) << call.file;
        EXPECT_EQ(call.command, ui::kHelpContext);
        EXPECT_EQ(call.data, pages[i]->helpContext);
    }
}

using DevicePageTest = PageTest;

TEST_F(DevicePageTest, ShowsTheBoardsAndTheOpenBoardsSubsystemsAndWritesTheChosenOne) {
    open(kMq5204, kCt0Index);
    ShowPage(kDevicePage, [&](ui::PropertyFrameDialog& dialog, ui::Form& page) {
        std::vector<std::string> boards = Items(Combo(page, kBoardCombo));
        std::sort(boards.begin(), boards.end());
        std::vector<std::string> machine{kMq5120, kMq5204, kMq5330, kMq5310};
        std::sort(machine.begin(), machine.end());
        EXPECT_EQ(boards, machine);
        EXPECT_EQ(Combo(page, kBoardCombo).Text(), kMq5204);
        ui::ComboBox& subsystems = Combo(page, kSubsystemCombo);
        EXPECT_TRUE(subsystems.Enabled());
        EXPECT_EQ(subsystems.ListCount(), kMq5204Subsystems);
        EXPECT_EQ(subsystems.ListIndex(), kCt0Index);
        EXPECT_FALSE(dialog.ApplyButton().Enabled());
        SavePicture(dialog, "page_device");

        EXPECT_TRUE(user_.Choose(subsystems, kAdIndex));
        EXPECT_TRUE(dialog.ApplyButton().Enabled());
        EXPECT_TRUE(user_.Click(dialog.OkButton()));
        EXPECT_FALSE(dialog.Loaded());
    });
    EXPECT_EQ(control->getLong(mqacq32::dispid::SubSystem), kAdIndex);
    EXPECT_EQ(control->getText(mqacq32::dispid::Board), kMq5204);
    EXPECT_TRUE(runtime_->MessageBoxes().empty());
}

TEST_F(DevicePageTest, WithoutABoardTheSubsystemComboIsDisabledAndNotWritten) {
    ShowPage(kDevicePage, [&](ui::PropertyFrameDialog& dialog, ui::Form& page) {
        EXPECT_EQ(Combo(page, kBoardCombo).ListIndex(), -1);
        EXPECT_FALSE(Combo(page, kSubsystemCombo).Enabled());
        EXPECT_EQ(Combo(page, kSubsystemCombo).ListCount(), 0);
        SavePicture(dialog, "page_device_no_board");
        EXPECT_TRUE(user_.Choose(Combo(page, kBoardCombo), std::string(kMq5310)));
        EXPECT_TRUE(user_.Click(dialog.OkButton()));
        EXPECT_FALSE(dialog.Loaded());
    });
    EXPECT_EQ(control->getText(mqacq32::dispid::Board), kMq5310);
    EXPECT_TRUE(runtime_->MessageBoxes().empty())
        << "no subsystem index was written: " << runtime_->MessageBoxes()[0].text;
}

// A board installed after the control made the process's board list: the control opens it by
// name, but the board combo has no entry of that name and selects none.
TEST_F(DevicePageTest, ABoardNotInTheBoardListSelectsNothing) {
    constexpr const char* kLateBoard = "MQ5120(01)";
    {
        std::ofstream list(simMachine_.directory() / sim::kBoardListFileName, std::ios::app);
        list << "MQ5120 4 2\n";
    }
    ASSERT_TRUE(simMachine_.Reboot());
    const Outcome opened = control->put(mqacq32::dispid::Board, Variant::Text(kLateBoard));
    ASSERT_TRUE(opened.ok()) << opened.description;
    ShowPage(kDevicePage, [&](ui::PropertyFrameDialog&, ui::Form& page) {
        ui::ComboBox& boards = Combo(page, kBoardCombo);
        EXPECT_EQ(boards.ListIndex(), -1);
        const std::vector<std::string> items = Items(boards);
        EXPECT_EQ(std::count(items.begin(), items.end(), kLateBoard), 0);
        EXPECT_TRUE(Combo(page, kSubsystemCombo).Enabled()) << "the board is open";
    });
}

// The board combo finds the control's board by name whatever its case.
TEST_F(DevicePageTest, FindsTheBoardWhateverTheCaseOfItsName) {
    ASSERT_TRUE(control->put(mqacq32::dispid::Board, Variant::Text("mq5120(00)")).ok());
    ASSERT_EQ(control->getText(mqacq32::dispid::Board), "mq5120(00)");
    ShowPage(kDevicePage, [&](ui::PropertyFrameDialog&, ui::Form& page) {
        EXPECT_EQ(Combo(page, kBoardCombo).Text(), kMq5120);
        EXPECT_TRUE(Combo(page, kSubsystemCombo).Enabled());
    });
}

}  // namespace
}  // namespace controltest
