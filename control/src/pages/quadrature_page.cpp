// The Quadrature Decoders page: the decoder's clock prescale, x4 scaling and index input, the
// control's stored values that Config hands to the decoder. Only a subsystem with a quadrature
// decoder offers them.
#include <string>

#include "pages/column_layout.h"
#include "pages/page_class.h"
#include "pages/page_controls.h"
#include "pages/page_pattern.h"

namespace mqacq32::pages {
namespace {

constexpr int kX4ScalingCombo = 217;
constexpr int kIndexCombo = 219;
constexpr int kPrescaleCombo = 243;  // a combo with an edit field

constexpr double kLowestPrescale = 0;
constexpr double kHighestPrescale = 255;

ui::PageTemplate QuadratureTemplate() {
    using ui::Kind;
    using L = ColumnLayout;
    auto label = [](const char* name, const char* caption, int row) {
        return L::Label(name, caption, L::kLeft, row);
    };
    auto combo = [](int id, int row) { return L::Control(Kind::ComboBox, id, L::kLeft, row); };
    ui::ControlDesign prescale = combo(kPrescaleCombo, 0);
    prescale.editable = true;
    return {kPageWidth,
            kPageHeight,
            {label("lblPrescale", "Clock Pre-Scale: ", 0), prescale,
             label("lblX4Scaling", "x4 Scaling: ", 1), combo(kX4ScalingCombo, 1),
             label("lblIndex", "Index:", 2), combo(kIndexCombo, 2)}};
}

class QuadraturePage final : public AcqPage {
  public:
    QuadraturePage() : AcqPage(kQuadraturePage, QuadratureTemplate()) {}

  protected:
    void BindControls() override {
        // Typing in the box is a change of the page; the framework counts a combo's choices,
        // not its typing.
        Combo(kPrescaleCombo).onChange = [this] {
            prescaleEdited_ = true;
            SetModified(true);
        };
    }
    void OnApplied() override { prescaleEdited_ = false; }

    void DoDataExchange(ui::DataExchange& dx) override {
        dx.Property("X4Scaling", x4Scaling_, kX4ScalingCombo);
        dx.Property("IndexInput", indexInput_, kIndexCombo);
        // The box's text must be a prescale whether or not the user edited it (nothing is
        // written when it is refused); it is written only when edited.
        if (!dx.Saving() || prescaleEdited_)
            dx.Property("ClockPrescale", prescale_, 0);
        dx.Text(kPrescaleCombo, prescale_);
        dx.MinMax(prescale_, kLowestPrescale, kHighestPrescale);
        dx.ComboIndex(kX4ScalingCombo, x4Scaling_);
        dx.ComboIndex(kIndexCombo, indexInput_);
        if (dx.Saving())
            return;
        prescaleEdited_ = false;
        // The fills run inside the load, so that what they select does not count as the user's.
        const bool decoder = Capability(HXSSC_QUADDECODER) != 0;
        Combo(kPrescaleCombo).SetEnabled(decoder);
        const CachedSettings& stored = SettingsOrFresh(Settings());
        FillChoices(Combo(kX4ScalingCombo), decoder, browsing::kBinaryOptions, stored.x4Scaling);
        FillChoices(Combo(kIndexCombo), decoder, browsing::kIndexInputs, stored.indexInput);
    }

  private:
    static void FillChoices(ui::ComboBox& combo, bool decoder,
                            std::span<const browsing::Option> options, SHORT stored) {
        combo.Clear();
        combo.SetEnabled(false);
        if (!decoder)
            return;
        for (const browsing::Option& option : options)
            combo.AddItem(ModuleText(option.text));
        SelectValue(combo, stored);
        combo.SetEnabled(true);
    }

    std::int32_t prescale_ = 0;
    std::int16_t x4Scaling_ = 0;
    std::int16_t indexInput_ = 0;
    bool prescaleEdited_ = false;
};

[[maybe_unused]] const bool kAdded = AddPage<QuadraturePage>(kQuadraturePage);

}  // namespace
}  // namespace mqacq32::pages
