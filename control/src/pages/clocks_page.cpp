// The Clocks page: the clock source of the open subsystem, its internal clock's frequency and
// its external clock's divider.
#include "pages/page_class.h"
#include "pages/page_pattern.h"

namespace mqacq32::pages {
namespace {

constexpr int kDividerEdit = 212;
constexpr int kFrequencyEdit = 214;
constexpr int kClockSourceCombo = 215;

ui::PageTemplate ClocksTemplate() {
    using ui::Kind;
    return {kPageWidth,
            kPageHeight,
            {ui::DialogItem(Kind::Label, "lblClockSource", "Clock Source:  ", 10, 17, 60, 8),
             ui::PageItem(Kind::ComboBox, kClockSourceCombo, "", 75, 15, 160, 80),
             ui::DialogItem(Kind::Label, "lblFrequency", "Frequency:  ", 10, 42, 60, 8),
             ui::PageItem(Kind::TextBox, kFrequencyEdit, "", 75, 40, 80, 12),
             ui::DialogItem(Kind::Label, "lblDivider", "Clock Divider:  ", 10, 67, 60, 8),
             ui::PageItem(Kind::TextBox, kDividerEdit, "", 75, 65, 80, 12)}};
}

class ClocksPage final : public AcqPage {
  public:
    ClocksPage() : AcqPage(kClocksPage, ClocksTemplate()) {}

  protected:
    void DoDataExchange(ui::DataExchange& dx) override {
        const bool internal = Capability(HXSSC_CLOCK_INTERNAL) != 0;
        const bool external = Capability(HXSSC_CLOCK_EXTERNAL) != 0;
        dx.Property("ClockSource", clockSource_, kClockSourceCombo);
        if (internal)
            dx.Property("Frequency", frequency_, kFrequencyEdit);
        if (external)
            dx.Property("ClockDivider", divider_, kDividerEdit);
        if (!dx.Saving())
            FillClockSources();
        dx.ComboIndex(kClockSourceCombo, clockSource_);
        if (internal)
            dx.Text(kFrequencyEdit, frequency_);
        if (external)
            dx.Text(kDividerEdit, divider_);
        if (!dx.Saving()) {
            Edit(kFrequencyEdit).SetEnabled(internal);
            Edit(kDividerEdit).SetEnabled(external);
        }
    }

  private:
    void FillClockSources() {
        ui::ComboBox& combo = Combo(kClockSourceCombo);
        combo.Clear();
        const HDASS subsystem = Subsystem();
        if (subsystem == 0) {
            combo.SetEnabled(false);
            return;
        }
        int available = 0;
        for (const browsing::Option& option : browsing::kClockSources) {
            std::string text;
            available += AddCapabilityString(subsystem, option.gate, option.text, &text) ? 1 : 0;
            combo.AddItem(text);
        }
        available += AddExtraItems(combo, browsing::Extras::kClocks);
        const SHORT cached = Settings()->clockSource;
        combo.SetListIndex(cached >= 0 && cached < combo.ListCount() ? cached : -1);
        combo.SetEnabled(available != 0);
        if (available == 0)
            combo.Clear();
    }

    std::int16_t clockSource_ = -1;
    double frequency_ = 0.0;
    std::int32_t divider_ = 1;
};

[[maybe_unused]] const bool kAdded = AddPage<ClocksPage>(kClocksPage);

}  // namespace
}  // namespace mqacq32::pages
