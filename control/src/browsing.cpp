// The property browser's questions: the predefined choices of a property (texts and cookies), the
// value behind a cookie, and the text that shows a property's current value. The answers follow
// the board and subsystem open in the control; the lists are built afresh on every request.
#include <cstdio>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "acq_control.h"
#include "board_list.h"
#include "browsed_properties.h"
#include "com/runtime.h"
#include "setting_members.h"

namespace mqacq32 {

using browsing::BrowsedProperty;
using browsing::DisplayCheck;
using browsing::Extras;
using browsing::Option;
using browsing::Precondition;

using Choice = std::pair<std::string, DWORD>;  // text, cookie

class PropertyBrowser {
  public:
    explicit PropertyBrowser(AcqControl& control) : c_(control) {}

    // The list of `id`; nullopt when the property offers none.
    std::optional<std::vector<Choice>> Choices(DISPID id);
    // The text of `id`'s value; nullopt when the browser is to show the value itself.
    std::optional<std::string> Display(DISPID id);
    // The value behind `cookie`; nullopt for a property without a list.
    bool Value(DISPID id, DWORD cookie, VARIANT* value);

  private:
    struct Query {
        HXSTATUS status;
        UINT value;
    };
    Query Capability(UINT capability) {
        Query query{HXNOERROR, 0};
        query.status = hxDaGetSSCaps(c_.hDass_, capability, &query.value);
        return query;
    }
    // A precondition's query: its status becomes the control's last status.
    Query KeptCapability(UINT capability) {
        const Query query = Capability(capability);
        c_.Keep(query.status);
        return query;
    }
    UINT Count(UINT capability) {
        const Query query = Capability(capability);
        return query.status == HXNOERROR ? query.value : 0;
    }

    bool Available(const BrowsedProperty& property, const Option& option);
    bool PreconditionHolds(const BrowsedProperty& property);
    std::vector<Choice> Options(const BrowsedProperty& property, bool* anyAvailable);
    std::optional<std::vector<Choice>> BinaryList(UINT capability, std::span<const Option> options);

    std::optional<std::string> CheckFirst(DisplayCheck check, SHORT cached);
    std::string Failed(HXSTATUS status, SHORT cached);
    std::string DisplayOf(const BrowsedProperty& property);
    std::optional<std::string> TextOf(const BrowsedProperty& property, SHORT value);
    std::optional<std::string> RangeDisplay();
    std::optional<std::string> SubsystemDisplay();
    std::string QuadratureDisplay(DISPID id);

    AcqControl& c_;
};

namespace {

constexpr int kTextLength = 64;

const BrowsedProperty* Find(DISPID id) {
    for (const BrowsedProperty& property : browsing::kBrowsed)
        if (property.setting->id == id)
            return &property;
    return nullptr;
}

std::string Numbered(UINT format, long value, long extra) {
    char text[kTextLength];
    std::snprintf(text, sizeof(text), ModuleText(format).c_str(), value, extra);
    return text;
}

// The first of each extra's control values, and the capability that counts them.
SHORT FirstExtra(Extras extras) {
    return extras == Extras::kTriggers ? browsing::kFirstExtraTrigger : browsing::kFirstExtraClock;
}
UINT ExtraCountCapability(Extras extras) {
    return extras == Extras::kTriggers ? HXSSC_NUMEXTRATRIGGERS : HXSSC_NUMEXTRACLOCKS;
}
UINT ExtraText(Extras extras) {
    return extras == Extras::kTriggers ? text::kExtraTrigger : text::kExtraClock;
}

}  // namespace

bool PropertyBrowser::Available(const BrowsedProperty& property, const Option& option) {
    if (option.gate == browsing::kAlwaysAvailable)
        return true;
    if (property.edgeBits) {
        const Query query = Capability(HXSSC_CTMODE_EDGETOEDGE);
        return query.status == HXNOERROR && (query.value & option.gate) != 0;
    }
    const Query query = Capability(option.gate);
    return query.status == HXNOERROR && query.value != 0;
}

bool PropertyBrowser::PreconditionHolds(const BrowsedProperty& property) {
    switch (property.precondition) {
        case Precondition::kNone:
            return true;
        case Precondition::kTriggeredScan:
            return KeptCapability(HXSSC_TRIGGEREDSCAN).value != 0;
        case Precondition::kSyncDio:
            return KeptCapability(HXSSC_SYNCDIO).value != 0;
        case Precondition::kRetrigger: {
            const Query scan = KeptCapability(HXSSC_TRIGGEREDSCAN);
            if (scan.status != HXNOERROR || scan.value != 1)
                return false;
            const Query extra = KeptCapability(HXSSC_RETRIGGER_EXTRA);
            if (extra.status != HXNOERROR)
                return false;
            const Query internal = KeptCapability(HXSSC_RETRIGGER_INTERNAL);
            return extra.value + (internal.status == HXNOERROR ? internal.value : 0) != 0;
        }
        case Precondition::kPreTrigger: {
            const Query pre = KeptCapability(HXSSC_DATAFLOW_CONTPRETRIG);
            const Query about = KeptCapability(HXSSC_DATAFLOW_CONTABOUTTRIG);
            return (pre.status == HXNOERROR ? pre.value : 0) +
                       (about.status == HXNOERROR ? about.value : 0) !=
                   0;
        }
        case Precondition::kGetterAnswers: {
            if (c_.hDass_ == 0)
                return true;
            UINT value = 0;
            return property.setting->get(c_.hDass_, &value) != HXNOTSUPPORTED;
        }
    }
    return false;
}

std::vector<Choice> PropertyBrowser::Options(const BrowsedProperty& property, bool* anyAvailable) {
    std::vector<Choice> choices;
    *anyAvailable = false;
    for (const Option& option : property.options) {
        std::string text = ModuleText(option.text);
        if (Available(property, option))
            *anyAvailable = true;
        else if (property.gated)
            text += ModuleText(text::kUnavailable);
        choices.emplace_back(std::move(text), static_cast<DWORD>(option.value));
    }
    if (property.extras != Extras::kNone) {
        const UINT count = Count(ExtraCountCapability(property.extras));
        const SHORT first = FirstExtra(property.extras);
        for (UINT n = 0; n < count; ++n) {
            const long value = first + static_cast<long>(n);
            choices.emplace_back(Numbered(ExtraText(property.extras), value, static_cast<long>(n)),
                                 static_cast<DWORD>(value));
            *anyAvailable = true;
        }
    }
    return choices;
}

std::optional<std::vector<Choice>> PropertyBrowser::BinaryList(UINT capability,
                                                               std::span<const Option> options) {
    if (KeptCapability(capability).value == 0)
        return std::nullopt;
    std::vector<Choice> choices;
    for (const Option& option : options)
        choices.emplace_back(ModuleText(option.text), static_cast<DWORD>(option.value));
    return choices;
}

std::optional<std::vector<Choice>> PropertyBrowser::Choices(DISPID id) {
    if (const BrowsedProperty* property = Find(id)) {
        if (!PreconditionHolds(*property))
            return std::nullopt;
        bool anyAvailable = false;
        std::vector<Choice> choices = Options(*property, &anyAvailable);
        if (property->gated && !anyAvailable)
            return std::nullopt;
        return choices;
    }
    std::vector<Choice> choices;
    switch (id) {
        case dispid::X4Scaling:
            return BinaryList(HXSSC_QUADDECODER, browsing::kBinaryOptions);
        case dispid::IndexInput:
            return BinaryList(HXSSC_QUADDECODER, browsing::kIndexInputs);
        case dispid::Range:
            for (std::size_t i = 0; i < c_.tables_.ranges.size(); ++i)
                choices.emplace_back(c_.tables_.ranges[i].text, static_cast<DWORD>(i));
            break;
        case dispid::SubSystem:
            for (std::size_t i = 0; i < c_.subsystems_.size(); ++i)
                choices.emplace_back(c_.subsystems_[i].description, static_cast<DWORD>(i));
            break;
        case dispid::Board:
            for (int i = 0; i < board_list::Count(); ++i)
                choices.emplace_back(board_list::Name(i), static_cast<DWORD>(i));
            break;
        default:
            return std::nullopt;
    }
    if (choices.empty())
        return std::nullopt;
    return choices;
}

bool PropertyBrowser::Value(DISPID id, DWORD cookie, VARIANT* value) {
    if (id == dispid::Board) {
        value->vt = VT_BSTR;
        value->bstrVal = com::AllocBstr(board_list::Name(static_cast<int>(cookie)));
        return true;
    }
    const bool listed = Find(id) != nullptr || id == dispid::X4Scaling ||
                        id == dispid::IndexInput || id == dispid::Range || id == dispid::SubSystem;
    if (!listed)
        return false;
    value->vt = VT_I2;
    value->iVal = static_cast<SHORT>(cookie);
    return true;
}

// A refused query or getter: nothing for a missing subsystem, "Error!!" for a value once known.
std::string PropertyBrowser::Failed(HXSTATUS status, SHORT cached) {
    if (status == HXINVALIDSSHANDLE || cached < 0)
        return {};
    return ModuleText(text::kError);
}

std::optional<std::string> PropertyBrowser::CheckFirst(DisplayCheck check, SHORT cached) {
    auto plain = [&](UINT capability) -> std::optional<std::string> {
        const Query query = Capability(capability);
        if (query.status != HXNOERROR)
            return Failed(query.status, cached);
        if (query.value == 0)
            return ModuleText(text::kNotSupported);
        return std::nullopt;
    };
    // The first capability answers "no such capability": not supported; nonzero: go on; else the
    // second decides.
    auto either = [&](UINT first, UINT second) -> std::optional<std::string> {
        const Query query = Capability(first);
        if (query.status == HXINVALIDSSCAP)
            return ModuleText(text::kNotSupported);
        if (query.status == HXNOERROR && query.value != 0)
            return std::nullopt;
        return plain(second);
    };
    switch (check) {
        case DisplayCheck::kNone:
            return std::nullopt;
        case DisplayCheck::kTriggeredScan:
            return plain(HXSSC_TRIGGEREDSCAN);
        case DisplayCheck::kSyncDio:
            return plain(HXSSC_SYNCDIO);
        case DisplayCheck::kRetrigger:
            if (auto text = plain(HXSSC_TRIGGEREDSCAN))
                return text;
            return either(HXSSC_RETRIGGER_EXTRA, HXSSC_RETRIGGER_INTERNAL);
        case DisplayCheck::kPreTrigger:
            return either(HXSSC_DATAFLOW_CONTPRETRIG, HXSSC_DATAFLOW_CONTABOUTTRIG);
    }
    return std::nullopt;
}

std::optional<std::string> PropertyBrowser::TextOf(const BrowsedProperty& property, SHORT value) {
    for (const Option& option : property.options)
        if (option.value == value)
            return ModuleText(option.text);
    if (property.extras == Extras::kNone)
        return std::nullopt;
    const SHORT first = FirstExtra(property.extras);
    const UINT count = Count(ExtraCountCapability(property.extras));
    if (value < first || static_cast<UINT>(value - first) >= count)
        return std::nullopt;
    return Numbered(ExtraText(property.extras), value, value - first);
}

std::string PropertyBrowser::DisplayOf(const BrowsedProperty& property) {
    const ShortSetting& setting = *property.setting;
    SHORT& cached = c_.settings_.*(setting.cached);
    if (auto text = CheckFirst(property.check, cached))
        return *text;
    UINT library = 0;
    const HXSTATUS status = setting.get(c_.hDass_, &library);
    if (status == HXNOTSUPPORTED)
        return ModuleText(text::kNotSupported);
    if (status != HXNOERROR)
        return Failed(status, cached);
    // Only a library value that one of the control's values stands for has a text (the trigger
    // value the library skips, or a bit beyond bit 0, has none).
    const auto value = static_cast<SHORT>(FromLibrary(setting.map, setting.base, library));
    if (ToLibrary(setting.map, setting.base, value) != library)
        return {};
    auto text = TextOf(property, value);
    if (!text)
        return {};
    cached = value;
    return *text;
}

std::optional<std::string> PropertyBrowser::RangeDisplay() {
    if (c_.hDass_ == 0)
        return std::string();
    const Query ranges = Capability(HXSSC_NUMRANGES);
    if (ranges.status == HXNOERROR && ranges.value == 0)
        return ModuleText(text::kNotSupported);
    const SHORT index = c_.settings_.range;
    if (index < 0)
        return std::string();
    if (static_cast<std::size_t>(index) >= c_.tables_.ranges.size() ||
        c_.tables_.ranges[static_cast<std::size_t>(index)].text.empty())
        return std::nullopt;
    return c_.tables_.ranges[static_cast<std::size_t>(index)].text;
}

std::optional<std::string> PropertyBrowser::SubsystemDisplay() {
    const SHORT index = c_.currentIndex_;
    if (index < 0)
        return std::string();
    if (static_cast<std::size_t>(index) >= c_.subsystems_.size() ||
        c_.subsystems_[static_cast<std::size_t>(index)].description.empty())
        return std::nullopt;
    return c_.subsystems_[static_cast<std::size_t>(index)].description;
}

// The stored quadrature values (not the library's).
std::string PropertyBrowser::QuadratureDisplay(DISPID id) {
    const Query quadrature = Capability(HXSSC_QUADDECODER);
    if (quadrature.status != HXNOERROR || quadrature.value == 0)
        return ModuleText(text::kNotSupported);
    const CachedSettings& s = c_.settings_;
    if (id == dispid::ClockPrescale)
        return std::to_string(s.clockPrescale);
    const std::span<const Option> options = id == dispid::X4Scaling
                                                ? std::span<const Option>(browsing::kBinaryOptions)
                                                : std::span<const Option>(browsing::kIndexInputs);
    const SHORT value = id == dispid::X4Scaling ? s.x4Scaling : s.indexInput;
    for (const Option& option : options)
        if (option.value == value)
            return ModuleText(option.text);
    return {};
}

std::optional<std::string> PropertyBrowser::Display(DISPID id) {
    if (const BrowsedProperty* property = Find(id))
        return DisplayOf(*property);
    switch (id) {
        case dispid::Board:
            if (c_.board_.empty())
                return std::nullopt;
            return c_.board_;
        case dispid::SubSystem:
            return SubsystemDisplay();
        case dispid::Range:
            return RangeDisplay();
        case dispid::ClockPrescale:
        case dispid::X4Scaling:
        case dispid::IndexInput:
            return QuadratureDisplay(id);
        default:
            return std::nullopt;
    }
}

HRESULT STDMETHODCALLTYPE AcqControl::GetDisplayString(DISPID id, BSTR* text) {
    if (text == nullptr)
        return E_POINTER;
    *text = nullptr;
    try {
        PropertyBrowser browser(*this);
        const std::optional<std::string> display = browser.Display(id);
        if (!display)
            return E_NOTIMPL;
        *text = com::AllocBstr(*display);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return *text != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE AcqControl::GetPredefinedStrings(DISPID id, CALPOLESTR* strings,
                                                           CADWORD* cookies) {
    if (strings == nullptr || cookies == nullptr)
        return E_POINTER;
    *strings = CALPOLESTR{0, nullptr};
    *cookies = CADWORD{0, nullptr};
    std::optional<std::vector<Choice>> choices;
    try {
        PropertyBrowser browser(*this);
        choices = browser.Choices(id);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (!choices)
        return E_NOTIMPL;
    const std::size_t count = choices->size();
    strings->pElems = static_cast<LPOLESTR*>(CoTaskMemAlloc(count * sizeof(LPOLESTR)));
    cookies->pElems = static_cast<DWORD*>(CoTaskMemAlloc(count * sizeof(DWORD)));
    if (strings->pElems == nullptr || cookies->pElems == nullptr) {
        com::FreePredefined(strings, cookies);
        return E_OUTOFMEMORY;
    }
    for (std::size_t i = 0; i < count; ++i) {
        strings->pElems[i] = com::AllocTaskText((*choices)[i].first);
        cookies->pElems[i] = (*choices)[i].second;
        strings->cElems = cookies->cElems = static_cast<ULONG>(i + 1);
        if (strings->pElems[i] == nullptr) {
            com::FreePredefined(strings, cookies);
            return E_OUTOFMEMORY;
        }
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AcqControl::GetPredefinedValue(DISPID id, DWORD cookie, VARIANT* value) {
    if (value == nullptr)
        return E_POINTER;
    VariantInit(value);
    PropertyBrowser browser(*this);
    return browser.Value(id, cookie, value) ? S_OK : E_NOTIMPL;
}

}  // namespace mqacq32
