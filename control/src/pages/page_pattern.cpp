#include "pages/page_pattern.h"

#include <cstdio>

#include "help_path.h"
#include "string_ids.h"

namespace mqacq32::pages {
namespace {

constexpr int kTextLength = 64;

bool Marked(bool available, UINT text, std::string* out) {
    *out = ModuleText(text);
    if (!available)
        *out += ModuleText(text::kUnavailable);
    return available;
}

}  // namespace

bool AddCapabilityString(HDASS subsystem, UINT capability, UINT text, std::string* out) {
    if (capability == browsing::kAlwaysAvailable)
        return Marked(true, text, out);
    UINT value = 0;
    const HXSTATUS status = hxDaGetSSCaps(subsystem, capability, &value);
    return Marked(status == HXNOERROR && value != 0, text, out);
}

bool AddEdgeCapabilityString(HDASS subsystem, UINT mask, UINT text, std::string* out) {
    UINT value = 0;
    const HXSTATUS status = hxDaGetSSCaps(subsystem, HXSSC_CTMODE_EDGETOEDGE, &value);
    return Marked(status == HXNOERROR && (value & mask) != 0, text, out);
}

int OptionIndex(std::span<const browsing::Option> options, SHORT value) {
    for (std::size_t i = 0; i < options.size(); ++i)
        if (options[i].value == value)
            return static_cast<int>(i);
    return -1;
}

AcqPage::AcqPage(const PageIdentity& identity, ui::PageTemplate dialog)
    : ui::PropertyPage(std::move(dialog),
                       {ModuleText(identity.caption), Application().helpFilePath(),
                        identity.helpContext, identity.helpDocument}) {}

ULONG STDMETHODCALLTYPE AcqPage::Release() {
    const ULONG left = refs_.Drop();
    if (left == 0)
        delete this;
    return left;
}

AcqControl* AcqPage::Control() const {
    IDispatch* object = FirstDispatch();
    return object != nullptr ? dynamic_cast<AcqControl*>(object) : nullptr;
}

HDASS AcqPage::Subsystem() const {
    const AcqControl* control = Control();
    return control != nullptr ? ControlAccess::Subsystem(*control) : 0;
}

HXSTATUS AcqPage::QueryCapability(UINT capability, UINT* value) const {
    *value = 0;
    return hxDaGetSSCaps(Subsystem(), capability, value);
}

UINT AcqPage::Capability(UINT capability) const {
    UINT value = 0;
    return QueryCapability(capability, &value) == HXNOERROR ? value : 0;
}

const CachedSettings* AcqPage::Settings() const {
    const AcqControl* control = Control();
    return control != nullptr ? &ControlAccess::Settings(*control) : nullptr;
}

int AcqPage::FillOptionCombo(ui::ComboBox& combo, std::span<const browsing::Option> options,
                             const ShortSetting& setting) const {
    combo.Clear();
    const HDASS subsystem = Subsystem();
    if (subsystem == 0) {
        combo.SetEnabled(false);
        return 0;
    }
    int available = 0;
    for (const browsing::Option& option : options) {
        std::string text;
        if (AddCapabilityString(subsystem, option.gate, option.text, &text))
            ++available;
        combo.AddItem(text);
    }
    UINT library = 0;
    if (setting.get(subsystem, &library) != HXNOERROR) {
        combo.SetEnabled(false);
        combo.Clear();
        return 0;
    }
    const SHORT cached = Settings()->*(setting.cached);
    combo.SetListIndex(cached >= 0 && cached < combo.ListCount() ? cached : -1);
    if (available == 0) {
        combo.SetEnabled(false);
        combo.Clear();
        return 0;
    }
    combo.SetEnabled(true);
    return available;
}

int AcqPage::AddExtraItems(ui::ComboBox& combo, browsing::Extras extras) const {
    const bool triggers = extras == browsing::Extras::kTriggers;
    const UINT count = Capability(triggers ? HXSSC_NUMEXTRATRIGGERS : HXSSC_NUMEXTRACLOCKS);
    const SHORT first = triggers ? browsing::kFirstExtraTrigger : browsing::kFirstExtraClock;
    const std::string format = ModuleText(triggers ? text::kExtraTrigger : text::kExtraClock);
    for (UINT n = 0; n < count; ++n) {
        char item[kTextLength];
        std::snprintf(item, sizeof(item), format.c_str(), static_cast<long>(first + n),
                      static_cast<long>(n));
        combo.AddItem(item);
    }
    return static_cast<int>(count);
}

}  // namespace mqacq32::pages
