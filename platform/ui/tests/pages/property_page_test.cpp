// The property frame's window and the page base: a page opens with its object's values, only
// the user's changes of dirtying controls enable Apply, a save refused by the page's validation
// writes nothing, a property the object refuses shows the object's error, and the frame stays
// open on either; Help reaches the help viewer with the page's file and context.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "com/property_pages.h"
#include "com/runtime.h"
#include "com/server/dispatch_table.h"
#include "com/server/object.h"
#include "gui_fixture.h"
#include "pages/sample_page_ids.h"
#include "ui/property_frame_dialog.h"
#include "ui/property_page.h"
#include "win32/module.h"

namespace {

using namespace com::server;

constexpr SHORT kObjectHighestLevel = 100;
constexpr const char* kInvalidValueText = "Invalid Property Value";

// The page's object: Name, Level (refuses more than kObjectHighestLevel) and Mode, with a count
// of the puts that succeeded.
class Thing final : public IDispatch {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch)
            return Hand(static_cast<IDispatch*>(this), ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        return Table().GetIDsOfNames(names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override {
        return Table().Invoke(this, id, flags, params, result, exception, argumentError, "Thing");
    }

    std::string GetName() { return name; }
    void SetName(std::string value) {
        name = std::move(value);
        puts.push_back("Name");
    }
    SHORT GetLevel() { return level; }
    void SetLevel(SHORT value) {
        if (value > kObjectHighestLevel)
            Raise(CTL_E_INVALIDPROPERTYVALUE, kInvalidValueText);
        level = value;
        puts.push_back("Level");
    }
    SHORT GetMode() { return mode; }
    void SetMode(SHORT value) {
        mode = value;
        puts.push_back("Mode");
    }

    ULONG refs = 1;
    std::string name = "beta";
    SHORT level = 7;
    SHORT mode = 1;
    std::vector<std::string> puts;

  private:
    static const DispatchTable& Table() {
        static const DispatchTable table(IID_IDispatch, "Thing",
                                         {ReadWrite<&Thing::GetName, &Thing::SetName>(1, "Name"),
                                          ReadWrite<&Thing::GetLevel, &Thing::SetLevel>(2, "Level"),
                                          ReadWrite<&Thing::GetMode, &Thing::SetMode>(3, "Mode")});
        return table;
    }
};

class PropertyPageTest : public ui::testing::GuiTest {
  protected:
    void SetUp() override {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        module_ = LoadLibraryA(uitest::kPagesModule);
        ASSERT_NE(module_, nullptr);
        auto entry =
            reinterpret_cast<DllRegisterServerProc>(GetProcAddress(module_, "DllRegisterServer"));
        ASSERT_NE(entry, nullptr);
        ASSERT_EQ(entry(), S_OK);
    }
    void TearDown() override {
        CoFreeUnusedLibraries();
        if (module_ != nullptr)
            FreeLibrary(module_);
        CoUninitialize();
    }

    // Shows the frame over the object with `count` tabs of the sample page; `act` plays the user
    // while it is open (the frame is cancelled afterwards when still open).
    void ShowFrame(const std::function<void(ui::PropertyFrameDialog&, ui::Form& page)>& act,
                   ULONG count = 1) {
        bool answered = false;
        user_.AnswerModal([&](ui::Form& form) {
            answered = true;
            auto& dialog = dynamic_cast<ui::PropertyFrameDialog&>(form);
            ASSERT_NE(dialog.ShownPage(), nullptr);
            act(dialog, *dialog.ShownPage());
            if (dialog.Loaded())
                user_.Click(dialog.CancelButton());
        });
        IUnknown* objects[] = {&thing};
        const CLSID pages[] = {uitest::kSamplePageClsid, uitest::kSamplePageClsid};
        EXPECT_EQ(OleCreatePropertyFrame(nullptr, 0, 0, u"Thing", 1, objects, count, pages, 0, 0,
                                         nullptr),
                  S_OK);
        EXPECT_TRUE(answered);
        EXPECT_EQ(thing.refs, 1u);
    }
    static ui::ComboBox& Combo(ui::Form& page, int id) {
        return page.Get<ui::ComboBox>(ui::DialogControlName(id));
    }
    static ui::TextBox& Edit(ui::Form& page, int id) {
        return page.Get<ui::TextBox>(ui::DialogControlName(id));
    }

    HMODULE module_ = nullptr;
    Thing thing;
};

TEST_F(PropertyPageTest, OpensWithTheObjectsValuesAndAppliesOnlyWhatTheUserChanged) {
    ShowFrame([&](ui::PropertyFrameDialog& dialog, ui::Form& page) {
        EXPECT_EQ(dialog.Tabs().Count(), 1);
        EXPECT_EQ(dialog.Tabs().Caption(1), uitest::kSampleCaption);
        EXPECT_EQ(Combo(page, uitest::kNameCombo).Text(), "Beta");
        EXPECT_EQ(Edit(page, uitest::kLevelEdit).Text(), "7");
        EXPECT_EQ(Combo(page, uitest::kModeCombo).ListIndex(), 1);
        EXPECT_FALSE(dialog.ApplyButton().Enabled());
        EXPECT_FALSE(user_.Click(dialog.ApplyButton()));
        dialog.Image().SavePng(PicturePath("property_frame_sample"));

        EXPECT_TRUE(user_.Type(Edit(page, uitest::kNoteEdit), "a note"));
        EXPECT_FALSE(dialog.ApplyButton().Enabled()) << "the note makes nothing dirty";
        EXPECT_TRUE(user_.Type(Edit(page, uitest::kLevelEdit), "42"));
        EXPECT_TRUE(dialog.ApplyButton().Enabled());
        EXPECT_TRUE(user_.Click(dialog.ApplyButton()));
        EXPECT_EQ(thing.level, 42);
        EXPECT_EQ(thing.puts, std::vector<std::string>{"Level"}) << "only what the user changed";
        EXPECT_FALSE(dialog.ApplyButton().Enabled());
        EXPECT_TRUE(dialog.Visible());

        EXPECT_TRUE(user_.Choose(Combo(page, uitest::kModeCombo), 0));
        EXPECT_TRUE(user_.Click(dialog.OkButton()));
        EXPECT_FALSE(dialog.Loaded()) << "OK closes after a successful Apply";
    });
    EXPECT_EQ(thing.mode, 0);
    EXPECT_EQ(thing.puts, (std::vector<std::string>{"Level", "Mode"}));
    EXPECT_TRUE(runtime_->MessageBoxes().empty());
}

TEST_F(PropertyPageTest, CancelWritesNothing) {
    ShowFrame([&](ui::PropertyFrameDialog& dialog, ui::Form& page) {
        EXPECT_TRUE(user_.Type(Edit(page, uitest::kLevelEdit), "42"));
        EXPECT_TRUE(user_.Click(dialog.CancelButton()));
        EXPECT_FALSE(dialog.Loaded());
    });
    EXPECT_TRUE(thing.puts.empty());
}

TEST_F(PropertyPageTest, ComboTextSelectsTheEntryOfTheSameTextWhateverItsCase) {
    struct Case {
        const char* name;
        int index;
    };
    for (const Case& c :
         {Case{"gamma", 2}, Case{"ALPHA", 0}, Case{"Delta", -1}, Case{"", -1}, Case{"Bet", -1}}) {
        thing.name = c.name;
        ShowFrame([&](ui::PropertyFrameDialog&, ui::Form& page) {
            EXPECT_EQ(Combo(page, uitest::kNameCombo).ListIndex(), c.index) << c.name;
        });
    }
}

struct RefusedCase {
    const char* name;
    const char* typed;
    const char* box;
    std::vector<std::string> written;
};

class PropertyPageRefusalTest : public PropertyPageTest,
                                public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(PropertyPageRefusalTest, KeepsTheFrameOpenOnTheRefusedValue) {
    const RefusedCase& c = GetParam();
    ShowFrame([&](ui::PropertyFrameDialog& dialog, ui::Form& page) {
        EXPECT_TRUE(user_.Choose(Combo(page, uitest::kNameCombo), "Gamma"));
        EXPECT_TRUE(user_.Type(Edit(page, uitest::kLevelEdit), c.typed));
        EXPECT_TRUE(user_.Choose(Combo(page, uitest::kModeCombo), 0));
        EXPECT_TRUE(user_.Click(dialog.OkButton()));
        EXPECT_TRUE(dialog.Loaded()) << "the frame stays open";
        EXPECT_TRUE(dialog.ApplyButton().Enabled()) << "the page is still dirty";
        EXPECT_EQ(Edit(page, uitest::kLevelEdit).Text(), c.typed);
    });
    ASSERT_EQ(runtime_->MessageBoxes().size(), 1u);
    EXPECT_EQ(runtime_->MessageBoxes()[0].text, c.box);
    EXPECT_EQ(thing.puts, c.written);
    EXPECT_EQ(thing.level, 7);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PropertyPageRefusalTest,
    ::testing::Values(
        RefusedCase{"AboveThePagesRange", "2000", "Please enter a number between 0 and 1000.", {}},
        RefusedCase{"NotANumber", "4x", "Please enter an integer.", {}},
        RefusedCase{"BeyondTheType", "40000", "Please enter an integer.", {}},
        // The object refuses: the changed properties before it were written, none after it.
        RefusedCase{"RefusedByTheObject", "150", kInvalidValueText, {"Name"}}),
    [](const ::testing::TestParamInfo<RefusedCase>& info) { return info.param.name; });

// A page shown again follows what another page applied, unless it has changes of its own.
TEST_F(PropertyPageTest, ATabShownAgainFollowsTheObjectUnlessDirty) {
    constexpr int kFirstTab = 1;
    constexpr int kSecondTab = 2;
    ShowFrame(
        [&](ui::PropertyFrameDialog& dialog, ui::Form& first) {
            EXPECT_TRUE(user_.ClickTab(dialog.Tabs(), kSecondTab));
            ui::Form& second = *dialog.ShownPage();
            ASSERT_NE(&second, &first);
            EXPECT_TRUE(user_.Type(Edit(second, uitest::kLevelEdit), "9"));

            EXPECT_TRUE(user_.ClickTab(dialog.Tabs(), kFirstTab));
            EXPECT_TRUE(user_.Choose(Combo(first, uitest::kNameCombo), "Gamma"));
            EXPECT_TRUE(user_.Type(Edit(first, uitest::kLevelEdit), "5"));
            EXPECT_TRUE(user_.Click(dialog.ApplyButton()));
            EXPECT_EQ(thing.puts, (std::vector<std::string>{"Name", "Level", "Level"}))
                << "both dirty pages applied, in tab order";
            EXPECT_EQ(thing.level, 9);

            EXPECT_TRUE(user_.ClickTab(dialog.Tabs(), kSecondTab));
            EXPECT_EQ(Combo(second, uitest::kNameCombo).Text(), "Gamma") << "reloaded";
            EXPECT_EQ(Edit(second, uitest::kLevelEdit).Text(), "9");
        },
        2);
}

TEST_F(PropertyPageTest, ADirtyTabKeepsTheUsersChangesWhenShownAgain) {
    ShowFrame(
        [&](ui::PropertyFrameDialog& dialog, ui::Form& first) {
            EXPECT_TRUE(user_.Type(Edit(first, uitest::kLevelEdit), "33"));
            EXPECT_TRUE(user_.ClickTab(dialog.Tabs(), 2));
            thing.level = 44;
            EXPECT_TRUE(user_.ClickTab(dialog.Tabs(), 1));
            EXPECT_EQ(Edit(first, uitest::kLevelEdit).Text(), "33");
        },
        2);
}

// OK with a refused value on a tab not shown: the frame shows that tab and stays open.
TEST_F(PropertyPageTest, ARefusingTabIsShown) {
    ShowFrame(
        [&](ui::PropertyFrameDialog& dialog, ui::Form& first) {
            EXPECT_TRUE(user_.ClickTab(dialog.Tabs(), 2));
            ui::Form& second = *dialog.ShownPage();
            EXPECT_TRUE(user_.Type(Edit(second, uitest::kLevelEdit), "2000"));
            EXPECT_TRUE(user_.ClickTab(dialog.Tabs(), 1));
            EXPECT_TRUE(user_.Type(Edit(first, uitest::kLevelEdit), "8"));
            EXPECT_TRUE(user_.Click(dialog.OkButton()));
            EXPECT_TRUE(dialog.Loaded());
            EXPECT_EQ(dialog.Tabs().SelectedIndex(), 2);
            EXPECT_EQ(dialog.ShownPage(), &second);
            EXPECT_TRUE(second.Visible());
            EXPECT_FALSE(first.Visible());
        },
        2);
    EXPECT_EQ(thing.level, 8) << "the first page applied before the second refused";
    ASSERT_EQ(runtime_->MessageBoxes().size(), 1u);
}

TEST_F(PropertyPageTest, HelpOpensThePagesContext) {
    std::uint32_t pageWindow = 0;
    ShowFrame([&](ui::PropertyFrameDialog& dialog, ui::Form& page) {
        pageWindow = page.hWnd();
        EXPECT_TRUE(user_.Click(dialog.HelpButton()));
    });
    ASSERT_EQ(runtime_->HelpCalls().size(), 1u);
    const ui::HelpCall& call = runtime_->HelpCalls()[0];
    EXPECT_NE(pageWindow, 0u);
    EXPECT_EQ(call.hwnd, pageWindow);
    EXPECT_EQ(call.file, uitest::kSampleHelpFile);
    EXPECT_EQ(call.command, ui::kHelpContext);
    EXPECT_EQ(call.data, uitest::kSampleHelpContext);
}

}  // namespace
