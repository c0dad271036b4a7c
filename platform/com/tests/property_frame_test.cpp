// The property frame: pages made by class id through the registry, given their site and objects
// in that order and given up in the reverse order; Apply only for dirty pages and stopped by the
// first refusal; OK closes only after a successful Apply; Help falls back to the page's file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "com/property_pages.h"
#include "com/runtime.h"
#include "com/server/object.h"
#include "registry/testing.h"
#include "server/test_pages_ids.h"
#include "win32/module.h"

namespace {

using com::server::Ref;

// The pages' first object: records their calls and answers as the test says.
class Probe final : public comtest::IPageProbe {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == comtest::IID_IPageProbe) {
            *ppv = static_cast<comtest::IPageProbe*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    void STDMETHODCALLTYPE Record(const char* title, const char* call) override {
        calls.push_back(std::string(title) + ":" + call);
    }
    HRESULT STDMETHODCALLTYPE ApplyAnswer(const char* title) override {
        auto answer = applyAnswers.find(title);
        return answer == applyAnswers.end() ? S_OK : answer->second;
    }
    BOOL STDMETHODCALLTYPE HasOwnHelp(const char* title) override {
        return ownHelp.count(title) != 0;
    }
    void STDMETHODCALLTYPE Attach(const char* title, IUnknown* page) override {
        pages[title] = page;
    }

    // The user edits the page titled `title`.
    void Edit(const std::string& title) {
        Ref<comtest::ITestPage> page;
        ASSERT_EQ(pages.at(title)->QueryInterface(comtest::IID_ITestPage, page.outVoid()), S_OK);
        page->Edit();
    }
    std::vector<std::string> CallsOf(const std::string& title) const {
        std::vector<std::string> of;
        for (const std::string& call : calls)
            if (call.rfind(title + ":", 0) == 0)
                of.push_back(call.substr(title.size() + 1));
        return of;
    }

    ULONG refs = 1;
    std::vector<std::string> calls;
    std::map<std::string, HRESULT> applyAnswers;
    std::map<std::string, bool> ownHelp;
    std::map<std::string, IUnknown*> pages;
};

// The window: runs the test's script as the user's actions while the frame is shown.
class ScriptedWindow final : public com::PropertyFrameWindow {
  public:
    HRESULT RunModal(com::PropertyFrame& frame, HWND owner, UINT, UINT) override {
        ++runs;
        this->owner = owner;
        if (script)
            script(frame);
        return S_OK;
    }
    std::function<void(com::PropertyFrame&)> script;
    int runs = 0;
    HWND owner = 0;
};

constexpr std::uintptr_t kOwnerToken = 0x10042;
constexpr std::uintptr_t kPageParentToken = 0x10043;
const HWND kOwner = reinterpret_cast<HWND>(kOwnerToken);
const HWND kPageParent = reinterpret_cast<HWND>(kPageParentToken);
constexpr RECT kPageArea = {0, 0, comtest::kPageWidth, comtest::kPageHeight};
const CLSID kBothPages[] = {comtest::kFirstPageClsid, comtest::kSecondPageClsid};
const char16_t kCaption[] = u"Probe Properties";

class PropertyFrameTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        module_ = LoadLibraryA(comtest::kPagesModule);
        ASSERT_NE(module_, nullptr);
        auto entry =
            reinterpret_cast<DllRegisterServerProc>(GetProcAddress(module_, "DllRegisterServer"));
        ASSERT_NE(entry, nullptr);
        ASSERT_EQ(entry(), S_OK);
        previous_ = com::SetPropertyFrameWindow(&window);
    }
    void TearDown() override {
        com::SetPropertyFrameWindow(previous_);
        CoFreeUnusedLibraries();
        if (module_ != nullptr)
            FreeLibrary(module_);
        CoUninitialize();
    }

    HRESULT Show(const CLSID* pages, ULONG count) {
        IUnknown* objects[] = {&probe};
        return OleCreatePropertyFrame(kOwner, 0, 0, kCaption, 1, objects, count, pages, 0, 0,
                                      nullptr);
    }

    registry::ScopedMachine machine_;
    HMODULE module_ = nullptr;
    com::PropertyFrameWindow* previous_ = nullptr;
    ScriptedWindow window;
    Probe probe;
};

TEST_F(PropertyFrameTest, MakesPagesInOrderAndGivesThemUpInReverse) {
    std::vector<std::string> titles;
    window.script = [&](com::PropertyFrame& frame) {
        EXPECT_EQ(frame.Caption(), "Probe Properties");
        for (std::size_t i = 0; i < frame.PageCount(); ++i)
            titles.push_back(frame.Info(i).title);
        EXPECT_EQ(frame.Info(1).helpFile, "pages.hlp");
        EXPECT_EQ(frame.Info(1).helpContext, comtest::kSecondHelpContext);
        EXPECT_EQ(frame.Info(0).size.cx, comtest::kPageWidth);
        EXPECT_EQ(frame.ShowPage(0, kPageParent, kPageArea), S_OK);
        EXPECT_FALSE(frame.Dirty());
    };
    ASSERT_EQ(Show(kBothPages, 2), S_OK);
    EXPECT_EQ(window.runs, 1);
    EXPECT_EQ(window.owner, kOwner);
    EXPECT_EQ(titles, (std::vector<std::string>{"First", "Second"}));
    EXPECT_EQ(probe.CallsOf("First"),
              (std::vector<std::string>{"site", "objects 1",
                                        "activate " + std::to_string(kPageParentToken), "show 5",
                                        "deactivate", "objects 0", "site null"}));
    // Never shown: never activated, nor deactivated.
    EXPECT_EQ(probe.CallsOf("Second"),
              (std::vector<std::string>{"site", "objects 1", "objects 0", "site null"}));
    EXPECT_EQ(probe.refs, 1u) << "the frame and its pages keep no reference to the object";
}

TEST_F(PropertyFrameTest, SwitchingTabsActivatesOnceAndHidesThePageBefore) {
    window.script = [&](com::PropertyFrame& frame) {
        frame.ShowPage(0, kPageParent, kPageArea);
        frame.ShowPage(1, kPageParent, kPageArea);
        frame.ShowPage(0, kPageParent, kPageArea);
        EXPECT_EQ(frame.CurrentPage(), 0u);
    };
    ASSERT_EQ(Show(kBothPages, 2), S_OK);
    const std::vector<std::string> first = probe.CallsOf("First");
    EXPECT_EQ(
        std::count(first.begin(), first.end(), "activate " + std::to_string(kPageParentToken)), 1);
    EXPECT_EQ(std::count(first.begin(), first.end(), "show 0"), 1);
    EXPECT_EQ(std::count(first.begin(), first.end(), "show 5"), 2);
}

struct ApplyCase {
    const char* name;
    std::vector<std::string> edited;
    HRESULT firstAnswer;
    HRESULT expected;
    std::vector<std::string> applied;  // pages that got Apply, in order
    bool dirtyAfter;
};

class PropertyFrameApplyTest : public PropertyFrameTest,
                               public ::testing::WithParamInterface<ApplyCase> {};

TEST_P(PropertyFrameApplyTest, AppliesDirtyPagesUntilOneRefuses) {
    const ApplyCase& c = GetParam();
    probe.applyAnswers["First"] = c.firstAnswer;
    std::vector<std::size_t> shownOnFailure;
    window.script = [&](com::PropertyFrame& frame) {
        frame.ShowPage(1, kPageParent, kPageArea);
        frame.onShowPage = [&](std::size_t index) { shownOnFailure.push_back(index); };
        int statusChanges = 0;
        frame.onStatusChange = [&] { ++statusChanges; };
        for (const std::string& title : c.edited)
            probe.Edit(title);
        EXPECT_EQ(statusChanges, static_cast<int>(c.edited.size()));
        EXPECT_EQ(frame.Dirty(), !c.edited.empty());
        EXPECT_EQ(frame.Apply(), c.expected);
        EXPECT_EQ(frame.Dirty(), c.dirtyAfter);
    };
    ASSERT_EQ(Show(kBothPages, 2), S_OK);
    std::vector<std::string> applied;
    for (const std::string& call : probe.calls)
        if (call.ends_with(":apply"))
            applied.push_back(call.substr(0, call.find(':')));
    EXPECT_EQ(applied, c.applied);
    if (FAILED(c.expected)) {
        EXPECT_EQ(shownOnFailure, (std::vector<std::size_t>{0}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PropertyFrameApplyTest,
    ::testing::Values(
        ApplyCase{"NothingEdited", {}, S_OK, S_OK, {}, false},
        ApplyCase{"OnlyTheEditedPage", {"Second"}, S_OK, S_OK, {"Second"}, false},
        ApplyCase{"BothInTabOrder", {"Second", "First"}, S_OK, S_OK, {"First", "Second"}, false},
        ApplyCase{"RefusalStopsTheRest", {"First", "Second"}, E_FAIL, E_FAIL, {"First"}, true},
        ApplyCase{"FalseCountsAsRefusal", {"First"}, S_FALSE, E_FAIL, {"First"}, true}),
    [](const ::testing::TestParamInfo<ApplyCase>& info) { return info.param.name; });

TEST_F(PropertyFrameTest, OkClosesOnlyAfterASuccessfulApply) {
    probe.applyAnswers["First"] = E_FAIL;
    window.script = [&](com::PropertyFrame& frame) {
        frame.ShowPage(0, kPageParent, kPageArea);
        probe.Edit("First");
        EXPECT_FALSE(frame.Ok());
        EXPECT_TRUE(frame.Dirty());
        probe.applyAnswers["First"] = S_OK;
        EXPECT_TRUE(frame.Ok());
        EXPECT_FALSE(frame.Dirty());
    };
    ASSERT_EQ(Show(kBothPages, 1), S_OK);
    const std::vector<std::string> first = probe.CallsOf("First");
    EXPECT_EQ(std::count(first.begin(), first.end(), "apply"), 2);
}

TEST_F(PropertyFrameTest, ClosingWithoutApplyWritesNothing) {
    window.script = [&](com::PropertyFrame& frame) {
        frame.ShowPage(0, kPageParent, kPageArea);
        probe.Edit("First");
    };
    ASSERT_EQ(Show(kBothPages, 2), S_OK);
    for (const std::string& call : probe.calls)
        EXPECT_FALSE(call.ends_with(":apply")) << call;
}

TEST_F(PropertyFrameTest, HelpIsThePagesOwnElseItsFileAndContext) {
    probe.ownHelp["First"] = true;
    std::vector<std::pair<std::string, DWORD>> opened;
    window.script = [&](com::PropertyFrame& frame) {
        auto open = [&](const std::string& file, DWORD context) {
            opened.emplace_back(file, context);
        };
        frame.ShowPage(0, kPageParent, kPageArea);
        frame.Help(open);
        frame.ShowPage(1, kPageParent, kPageArea);
        frame.Help(open);
    };
    ASSERT_EQ(Show(kBothPages, 2), S_OK);
    EXPECT_EQ(
        opened,
        (std::vector<std::pair<std::string, DWORD>>{{"pages.hlp", comtest::kSecondHelpContext}}));
    const std::vector<std::string> first = probe.CallsOf("First");
    EXPECT_EQ(std::count(first.begin(), first.end(), "help"), 1);
}

TEST_F(PropertyFrameTest, RefusedCallsShowNothing) {
    const CLSID withMissing[] = {comtest::kFirstPageClsid, GUID_NULL};
    EXPECT_EQ(Show(withMissing, 2), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(window.runs, 0);
    EXPECT_EQ(probe.refs, 1u) << "the page made before the failure gave the object up";
    EXPECT_EQ(
        OleCreatePropertyFrame(kOwner, 0, 0, kCaption, 0, nullptr, 2, kBothPages, 0, 0, nullptr),
        E_INVALIDARG);
    com::SetPropertyFrameWindow(nullptr);
    EXPECT_EQ(Show(kBothPages, 2), E_FAIL);
    EXPECT_EQ(window.runs, 0);
}

}  // namespace
