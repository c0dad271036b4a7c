// The Triggers page: the trigger, pre-trigger and retrigger sources, triggered scan, the
// retrigger mode and frequency, and the multi-scan count. What the subsystem cannot do is not
// exchanged: the pre-trigger source needs a pre-trigger or about-trigger data flow, the
// triggered-scan settings need triggered scan.
#include <string>

#include "pages/column_layout.h"
#include "pages/page_class.h"
#include "pages/page_controls.h"
#include "pages/page_pattern.h"

namespace mqacq32::pages {
namespace {

constexpr int kTriggerCombo = 208;
constexpr int kTriggeredScanCombo = 209;
constexpr int kPreTriggerCombo = 210;
constexpr int kRetriggerModeCombo = 211;
constexpr int kRetriggerCombo = 212;
constexpr int kRetriggerFreqEdit = 213;
constexpr int kMultiScanEdit = 214;

// The Triggered Scan Usage entries, at the positions of their values.
constexpr const char* kTriggeredScanItems[] = {"Disable", "Enable"};
constexpr SHORT kTriggeredScanOn = 1;
// The multi-scan count shown where the subsystem scans once per trigger.
constexpr UINT kSingleScan = 1;

ui::PageTemplate TriggersTemplate() {
    using ui::Kind;
    using L = ColumnLayout;
    constexpr int kLeft = L::kLeft;
    constexpr int kRight = L::kRight;
    constexpr auto label = L::Label;
    constexpr auto control = L::Control;
    return {kPageWidth,
            kPageHeight,
            {label("lblTrigger", "Trigger Source: ", kLeft, 0),
             control(Kind::ComboBox, kTriggerCombo, kLeft, 0),
             label("lblPreTrigger", "Pre-trigger Source: ", kLeft, 1),
             control(Kind::ComboBox, kPreTriggerCombo, kLeft, 1),
             label("lblTriggeredScan", "Triggered Scan Usage:", kLeft, 2),
             control(Kind::ComboBox, kTriggeredScanCombo, kLeft, 2),
             label("lblMultiScan", "Multi-Scan Count:  ", kLeft, 3),
             control(Kind::TextBox, kMultiScanEdit, kLeft, 3),
             label("lblRetriggerMode", "Retrigger Mode:  ", kRight, 0),
             control(Kind::ComboBox, kRetriggerModeCombo, kRight, 0),
             label("lblRetrigger", "Retigger Source: ", kRight, 1),
             control(Kind::ComboBox, kRetriggerCombo, kRight, 1),
             label("lblRetriggerFreq", "Retrigger Frequency:  ", kRight, 2),
             control(Kind::TextBox, kRetriggerFreqEdit, kRight, 2)}};
}

class TriggersPage final : public AcqPage {
  public:
    TriggersPage() : AcqPage(kTriggersPage, TriggersTemplate()) {}

  protected:
    void DoDataExchange(ui::DataExchange& dx) override {
        const bool preTrigger = HasPreTrigger();
        const bool triggeredScan = Capability(HXSSC_TRIGGEREDSCAN) != 0;
        dx.Property("Trigger", trigger_, kTriggerCombo);
        if (preTrigger)
            dx.Property("PreTrigger", preTrigger_, kPreTriggerCombo);
        if (triggeredScan) {
            dx.Property("TriggeredScan", triggeredScan_, kTriggeredScanCombo);
            dx.Property("RetriggerMode", retriggerMode_, kRetriggerModeCombo);
            dx.Property("RetriggerFreq", retriggerFreq_, kRetriggerFreqEdit);
            dx.Property("Retrigger", retrigger_, kRetriggerCombo);
            dx.Property("MultiScanCount", multiScanCount_, kMultiScanEdit);
        }
        dx.ComboIndex(kTriggerCombo, trigger_);
        if (preTrigger)
            dx.ComboIndex(kPreTriggerCombo, preTrigger_);
        if (triggeredScan) {
            dx.ComboIndex(kTriggeredScanCombo, triggeredScan_);
            dx.ComboIndex(kRetriggerModeCombo, retriggerMode_);
            dx.Text(kRetriggerFreqEdit, retriggerFreq_);
            dx.ComboIndex(kRetriggerCombo, retrigger_);
            dx.Text(kMultiScanEdit, multiScanCount_);
        }
        if (dx.Saving())
            return;
        // The fills run inside the load, so that what they select does not count as the user's.
        FillSources();
        FillTriggeredScan();
        FillRetriggerMode();
        ShowMultiScanCount();
    }

  private:
    bool HasPreTrigger() const {
        return Capability(HXSSC_DATAFLOW_CONTPRETRIG) != 0 ||
               Capability(HXSSC_DATAFLOW_CONTABOUTTRIG) != 0;
    }

    // The trigger list (seven sources, then the extra triggers), the cached value selected;
    // disabled without a subsystem, disabled and emptied when the subsystem has no source.
    void FillTriggerList(ui::ComboBox& combo, SHORT cached) const {
        combo.Clear();
        const HDASS subsystem = Subsystem();
        if (subsystem == 0) {
            combo.SetEnabled(false);
            return;
        }
        int available = 0;
        for (const browsing::Option& option : browsing::kTriggers) {
            std::string text;
            if (AddCapabilityString(subsystem, option.gate, option.text, &text))
                ++available;
            combo.AddItem(text);
        }
        available += AddExtraItems(combo, browsing::Extras::kTriggers);
        SelectValue(combo, cached);
        if (available == 0) {
            DisableAndEmpty(combo);
            return;
        }
        combo.SetEnabled(true);
    }

    const CachedSettings& Cached() const { return SettingsOrFresh(Settings()); }

    void FillSources() {
        FillTriggerList(Combo(kTriggerCombo), Cached().trigger);
        if (HasPreTrigger())
            FillTriggerList(Combo(kPreTriggerCombo), Cached().preTrigger);
        else
            DisableAndEmpty(Combo(kPreTriggerCombo));
        // Its enabling follows triggered scan and the retrigger mode (below).
        ui::ComboBox& retrigger = Combo(kRetriggerCombo);
        retrigger.Clear();
        if (Capability(HXSSC_RETRIGGER_EXTRA) != 0)
            FillTriggerList(retrigger, Cached().retrigger);
    }

    void FillTriggeredScan() {
        ui::ComboBox& combo = Combo(kTriggeredScanCombo);
        combo.Clear();
        combo.SetEnabled(true);
        if (Subsystem() != 0 && Capability(HXSSC_TRIGGEREDSCAN) != 0) {
            for (const char* item : kTriggeredScanItems)
                combo.AddItem(item);
            SelectValue(combo, Cached().triggeredScan);
            Combo(kRetriggerModeCombo).SetEnabled(true);
            Edit(kRetriggerFreqEdit).SetEnabled(true);
            return;
        }
        DisableAndEmpty(combo);
        DisableAndEmpty(Combo(kRetriggerModeCombo));
        Edit(kRetriggerFreqEdit).SetEnabled(false);
        Combo(kRetriggerCombo).SetEnabled(false);
    }

    // Follows the page's triggered-scan member: off leaves the retrigger controls disabled.
    void FillRetriggerMode() {
        if (Capability(HXSSC_TRIGGEREDSCAN) == 0)
            return;
        ui::ComboBox& mode = Combo(kRetriggerModeCombo);
        ui::TextBox& frequency = Edit(kRetriggerFreqEdit);
        ui::ComboBox& source = Combo(kRetriggerCombo);
        if (triggeredScan_ < kTriggeredScanOn) {
            mode.SetEnabled(false);
            frequency.SetEnabled(false);
            source.SetEnabled(false);
            return;
        }
        const HDASS subsystem = Subsystem();
        mode.Clear();
        std::string text;
        const bool internal = AddCapabilityString(subsystem, HXSSC_RETRIGGER_INTERNAL,
                                                  text::kInternalRetrigger, &text);
        mode.AddItem(text);
        AddCapabilityString(subsystem, browsing::kAlwaysAvailable, text::kScanPerTrigger, &text);
        mode.AddItem(text);
        const bool extra =
            AddCapabilityString(subsystem, HXSSC_RETRIGGER_EXTRA, text::kExtraRetrigger, &text);
        mode.AddItem(text);
        SelectValue(mode, Cached().retriggerMode);
        mode.SetEnabled(internal || extra);
        frequency.SetEnabled(true);
        source.SetEnabled(Capability(HXSSC_RETRIGGER_EXTRA) != 0);
    }

    // One scan per trigger unless the subsystem can scan more often; a maximum it cannot tell
    // counts as one.
    void ShowMultiScanCount() {
        ui::TextBox& edit = Edit(kMultiScanEdit);
        edit.SetText(std::to_string(kSingleScan));
        UINT maximum = kSingleScan;
        if (QueryCapability(HXSSC_MAXMULTISCAN, &maximum) != HXNOERROR)
            maximum = kSingleScan;
        if (maximum <= kSingleScan) {
            edit.SetEnabled(false);
            return;
        }
        UINT count = 0;
        if (hxDaGetMultiscanCount(Subsystem(), &count) == HXNOERROR)
            edit.SetText(std::to_string(count));
        edit.SetEnabled(true);
    }

    std::int16_t trigger_ = kUnset;
    std::int16_t preTrigger_ = kUnset;
    std::int16_t triggeredScan_ = kUnset;
    std::int16_t retriggerMode_ = kUnset;
    std::int16_t retrigger_ = kUnset;
    double retriggerFreq_ = 0.0;
    std::uint32_t multiScanCount_ = 0;
};

[[maybe_unused]] const bool kAdded = AddPage<TriggersPage>(kTriggersPage);

}  // namespace
}  // namespace mqacq32::pages
