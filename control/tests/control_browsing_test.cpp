// The property browser's answers against the simulated machine's subsystems: the predefined
// choices of every enumerated property (unavailable options marked, no list where nothing is
// available), the values behind the cookies, and the texts that show the current values.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "com/browsing.h"
#include "com/persist.h"
#include "com/runtime.h"
#include "control_fixture.h"

namespace controltest {
namespace {

namespace d = mqacq32::dispid;
using Texts = std::vector<std::string>;

constexpr SHORT kCounterKind = HXSS_CT;

class Browsing : public ControlTest {
  public:
    Ref<IPerPropertyBrowsing> browser() {
        Ref<IPerPropertyBrowsing> b;
        EXPECT_EQ(control->dispatch->QueryInterface(IID_IPerPropertyBrowsing, b.outVoid()), S_OK);
        return b;
    }
    // The list's texts, or nullopt when the browser is offered none.
    std::optional<Texts> list(DISPID id, std::vector<DWORD>* cookies = nullptr) {
        CALPOLESTR strings{};
        CADWORD values{};
        const HRESULT status = browser()->GetPredefinedStrings(id, &strings, &values);
        if (status == E_NOTIMPL) {
            EXPECT_EQ(strings.cElems, 0u);
            EXPECT_EQ(strings.pElems, nullptr);
            EXPECT_EQ(values.pElems, nullptr);
            return std::nullopt;
        }
        EXPECT_EQ(status, S_OK);
        EXPECT_EQ(strings.cElems, values.cElems);
        Texts texts;
        for (ULONG i = 0; i < strings.cElems; ++i) {
            texts.emplace_back(
                strings.pElems[i],
                strings.pElems[i] + std::char_traits<char16_t>::length(strings.pElems[i]));
            if (cookies != nullptr)
                cookies->push_back(values.pElems[i]);
        }
        com::FreePredefined(&strings, &values);
        return texts;
    }
    // The display text, or nullopt when the browser is to show the raw value.
    std::optional<std::string> display(DISPID id) {
        BSTR text = nullptr;
        const HRESULT status = browser()->GetDisplayString(id, &text);
        com::Bstr owned = com::Bstr::Attach(text);
        if (status == E_NOTIMPL) {
            EXPECT_EQ(text, nullptr);
            return std::nullopt;
        }
        EXPECT_EQ(status, S_OK);
        return owned.narrow();
    }
    void openCounter(const char* board) {
        ASSERT_TRUE(control->put(d::Board, Variant::Text(board)).ok());
        ASSERT_TRUE(control->put(d::SubSysType, Variant::Short(kCounterKind)).ok());
        ASSERT_NE(control->getLong(d::hDass), 0);
    }
};

struct Expected {
    DISPID id;
    std::optional<Texts> texts;  // nullopt: no list
};

const Texts kTriggerList = {"0 - Software",
                            "1 - External",
                            "2 - ThresholdPos",
                            "3 - ThresholdNeg --N/A--",
                            "4 - Analog Event --N/A--",
                            "5 - Digital Event --N/A--",
                            "6 - Timer Event --N/A--",
                            "7 - Extra Trigger 0"};
const Texts kOnOff = {"0 - Disable", "1 - Enable"};

// Each option's cookie is the control value its text begins with.
void ExpectCookiesAreTheLeadingNumbers(const Texts& texts, const std::vector<DWORD>& cookies) {
    ASSERT_EQ(texts.size(), cookies.size());
    for (std::size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(std::stoul(texts[i]), cookies[i]) << texts[i];
}

void ExpectLists(Browsing& test, const std::vector<Expected>& table) {
    for (const Expected& e : table) {
        SCOPED_TRACE(testing::Message() << "DISPID " << e.id);
        std::vector<DWORD> cookies;
        const std::optional<Texts> texts = test.list(e.id, &cookies);
        EXPECT_EQ(texts, e.texts);
        if (texts)
            ExpectCookiesAreTheLeadingNumbers(*texts, cookies);
    }
}

TEST_F(Browsing, TheAnalogInputsListsMarkWhatItLacksAndOfferNoneWhereItHasNothing) {
    open(kMq5120, kAdIndex);
    site.userMode = false;  // a form designer's browser
    ExpectLists(
        *this, {
                   {d::ChannelType, Texts{"0 - Single Ended", "1 - Differential"}},
                   {d::Encoding, Texts{"0 - Binary", "1 - 2s Complement --N/A--"}},
                   {d::Trigger, kTriggerList},
                   {d::Retrigger, kTriggerList},
                   {d::PreTrigger, std::nullopt},  // neither pre-trigger nor about-trigger flows
                   {d::ClockSource, Texts{"0 - Internal", "1 - External"}},
                   {d::DataFlow, Texts{"0 - Continuous", "1 - Single Value",
                                       "4 - Continuous Pre-Trigger --N/A--",
                                       "5 - Continuous About Trigger --N/A--"}},
                   {d::WrapMode, Texts{"0 - No Buffer Wrap", "1 - Wrap Multiple Buffers",
                                       "2 - Wrap a Single Buffer"}},
                   {d::RetriggerMode,
                    Texts{"0 - Internal retrigger", "1 - Scan per trigger", "2 - Extra retrigger"}},
                   {d::TriggeredScan, kOnOff},
                   {d::SyncDIOUsage, kOnOff},
                   {d::Range, Texts{"0- -10.0000 - 10.0000"}},
                   // A counter's properties: every option unavailable, so no list at all.
                   {d::GateType, std::nullopt},
                   {d::CTMode, std::nullopt},
                   {d::PulseType, std::nullopt},
                   {d::CascadeMode, std::nullopt},
                   {d::MeasureStartEdge, std::nullopt},
                   {d::X4Scaling, std::nullopt},  // no quadrature decoder
                   {d::IndexInput, std::nullopt},
                   {d::Caption, std::nullopt},  // not an enumerated property
               });
}

TEST_F(Browsing, CounterListsFollowTheBoardAndSubsystemOpenInTheControl) {
    openCounter(kMq5204);
    ExpectLists(*this,
                {
                    {d::CTMode,
                     Texts{"0 - Count Events", "1 - Generate Rate", "2 - One Shot",
                           "3 - Repeatable One Shot", "4 - Up/Down Counting --N/A--",
                           "5 - Edge to Edge Measure --N/A--", "6 - Continuous Measure --N/A--"}},
                    {d::GateType,
                     Texts{"0 - None", "1 - High Level", "2 - Low Level", "3 - Rising Edge",
                           "4 - Falling Edge", "5 - Level Change --N/A--",
                           "6 - High Level debounce --N/A--", "7 - Low Level debounce --N/A--",
                           "8 - Rising Edge debounce --N/A--", "9 - Falling Edge debounce --N/A--",
                           "10- Level Change debounce --N/A--"}},
                    {d::PulseType, Texts{"0 - Active Low", "1 - Active High"}},
                    {d::CascadeMode, Texts{"0 - Cascade With Next CT --N/A--", "1 - Single CT"}},
                    {d::Encoding, Texts{"0 - Binary", "1 - 2s Complement --N/A--"}},
                    {d::WrapMode, std::nullopt},  // a counter's wrap-mode getter: not supported
                });
    EXPECT_EQ(display(d::WrapMode), "Not Supported");
    // The MQ5120's counters measure edge to edge on every edge, and count up and down.
    openCounter(kMq5120);
    ExpectLists(*this, {
                           {d::MeasureStartEdge, Texts{"0 - Gate Rising", "1 - Gate Falling",
                                                       "2 - Clock Rising", "3 - Clock Falling"}},
                           {d::MeasureStopEdge, Texts{"0 - Gate Rising", "1 - Gate Falling",
                                                      "2 - Clock Rising", "3 - Clock Falling"}},
                       });
    const std::optional<Texts> modes = list(d::CTMode);
    ASSERT_TRUE(modes);
    EXPECT_EQ(modes->at(4), "4 - Up/Down Counting");
    EXPECT_EQ(modes->at(5), "5 - Edge to Edge Measure");
}

TEST_F(Browsing, WithoutASubsystemGatedListsAreOfferedNoneAndTheQueriesStatusIsKept) {
    for (DISPID id :
         {d::Trigger, d::ChannelType, d::WrapMode, d::TriggeredScan, d::Range, d::SubSystem}) {
        EXPECT_EQ(list(id), std::nullopt) << "DISPID " << id;
    }
    EXPECT_EQ(control->getLong(d::LastError), HXINVALIDSSHANDLE);
    // The boards are the process-wide list, whatever is open.
    std::vector<DWORD> cookies;
    const std::optional<Texts> boards = list(d::Board, &cookies);
    ASSERT_TRUE(boards);
    ASSERT_EQ(boards->size(), static_cast<std::size_t>(control->getLong(d::numBoards)));
    for (std::size_t i = 0; i < boards->size(); ++i) {
        EXPECT_EQ(boards->at(i), control->getText(d::BoardList, {Variant::Short(SHORT(i))}));
        EXPECT_EQ(cookies[i], i);
    }
}

TEST_F(Browsing, ACookiesValueIsTheSettingItselfOrForABoardItsName) {
    open(kMq5120, kAdIndex);
    struct Case {
        DISPID id;
        DWORD cookie;
        VARTYPE type;
        std::string text;  // the value as text
    };
    const Case cases[] = {
        {d::IndexInput, 2, VT_I2, "2"},
        {d::Trigger, 7, VT_I2, "7"},
        {d::SubSystem, 1, VT_I2, "1"},
        {d::Board, 0, VT_BSTR, control->getText(d::BoardList, {Variant::Short(0)})},
        {d::Board, 25, VT_BSTR, ""},  // beyond the list: no name
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "DISPID " << c.id << " cookie " << c.cookie);
        Variant value;
        ASSERT_EQ(browser()->GetPredefinedValue(c.id, c.cookie, &value), S_OK);
        EXPECT_EQ(value.vt, c.type);
        Variant text;
        ASSERT_EQ(VariantChangeType(&text, &value, 0, VT_BSTR), S_OK);
        EXPECT_EQ(com::NarrowFromBstr(text.bstrVal), c.text);
    }
    Variant none;
    EXPECT_EQ(browser()->GetPredefinedValue(d::Caption, 0, &none), E_NOTIMPL);
    CLSID page{};
    // Only the list properties have a page of their own (the pages' tests map them).
    EXPECT_EQ(browser()->MapPropertyToPage(d::Caption, &page), PERPROP_E_NOPAGEAVAILABLE);
    EXPECT_EQ(page, CLSID_NULL);
}

TEST_F(Browsing, DisplayTextsShowTheLibrarysValueAsItsOptionOrWhyThereIsNone) {
    open(kMq5120, kAdIndex);
    const std::pair<DISPID, SHORT> puts[] = {
        {d::ChannelType, 1}, {d::DataFlow, 1},      {d::WrapMode, 2},
        {d::Trigger, 2},     {d::RetriggerMode, 1}, {d::TriggeredScan, 1},
    };
    for (const auto& [id, value] : puts)
        ASSERT_TRUE(control->put(id, Variant::Short(value)).ok()) << "DISPID " << id;
    const std::string description = control->getText(d::SubSystemList, {Variant::Short(kAdIndex)});
    site.userMode = false;  // a form designer's browser
    struct Case {
        DISPID id;
        std::optional<std::string> text;
    };
    const Case cases[] = {
        {d::ChannelType, "1 - Differential"},
        {d::DataFlow, "1 - Single Value"},
        {d::WrapMode, "2 - Wrap a Single Buffer"},
        {d::Trigger, "2 - ThresholdPos"},
        {d::RetriggerMode, "1 - Scan per trigger"},
        {d::TriggeredScan, "1 - Enable"},
        {d::PreTrigger, "Not Supported"},
        {d::CTMode, "Not Supported"},
        {d::GateType, "Not Supported"},
        {d::X4Scaling, "Not Supported"},
        {d::ClockPrescale, "Not Supported"},
        {d::Board, std::string(kMq5120)},
        {d::SubSystem, description},
        {d::Range, "0- -10.0000 - 10.0000"},
        {d::Caption, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(display(c.id), c.text) << "DISPID " << c.id;
}

TEST_F(Browsing, AnExtraTriggerDisplaysAsItsListsTextAndTheShownValueIsCached) {
    open(kMq5120, kAdIndex);
    ASSERT_TRUE(control->put(d::Trigger, Variant::Short(2)).ok());
    ASSERT_EQ(hxDaSetTrigger(hDass(), HXTRIG_EXTRA), HXNOERROR);  // behind the control's back
    EXPECT_EQ(display(d::Trigger), "7 - Extra Trigger 0");
    // The cached value is what the control saves.
    Ref<IPersistPropertyBag> persist;
    ASSERT_EQ(control->dispatch->QueryInterface(IID_IPersistPropertyBag, persist.outVoid()), S_OK);
    Ref<IPropertyBag> bag;
    ASSERT_EQ(com::CreateMemoryPropertyBag(bag.out()), S_OK);
    ASSERT_EQ(persist->Save(bag.get(), FALSE, TRUE), S_OK);
    Variant trigger;
    ASSERT_EQ(bag->Read(u"Trigger", &trigger, nullptr), S_OK);
    EXPECT_EQ(trigger.iVal, 7);
}

TEST_F(Browsing, WithoutASubsystemDisplaysAreEmptyAndWithoutABoardItsNameIsTheRawValue) {
    for (DISPID id : {d::Trigger, d::ChannelType, d::SubSystem, d::Range})
        EXPECT_EQ(display(id), std::string()) << "DISPID " << id;
    EXPECT_EQ(display(d::Board), std::nullopt);
}

}  // namespace
}  // namespace controltest
