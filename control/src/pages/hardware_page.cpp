// The Hardware page: DMA usage, software resolution, channel type, encoding and range of the
// open subsystem.
#include <limits>

#include "pages/page_class.h"
#include "pages/page_pattern.h"

namespace mqacq32::pages {
namespace {

constexpr int kRangeCombo = 206;
constexpr int kChannelTypeCombo = 207;
constexpr int kEncodingCombo = 208;
constexpr int kResolutionEdit = 210;
constexpr int kDmaEdit = 211;
constexpr int kLowestResolution = 0;
constexpr int kHighestResolution = std::numeric_limits<std::int16_t>::max();

ui::PageTemplate HardwareTemplate() {
    using ui::Kind;
    return {kPageWidth,
            kPageHeight,
            {ui::DialogItem(Kind::Label, "lblDma", "DMA Usage:  ", 10, 10, 60, 8),
             ui::PageItem(Kind::TextBox, kDmaEdit, "", 75, 8, 50, 12),
             ui::DialogItem(Kind::Label, "lblResolution", "Resolution:  ", 10, 28, 60, 8),
             ui::PageItem(Kind::TextBox, kResolutionEdit, "", 75, 26, 50, 12),
             ui::DialogItem(Kind::Label, "lblChannelType", "Channel Type:  ", 10, 46, 60, 8),
             ui::PageItem(Kind::ComboBox, kChannelTypeCombo, "", 75, 44, 160, 60),
             ui::DialogItem(Kind::Label, "lblEncoding", "Encoding:  ", 10, 64, 60, 8),
             ui::PageItem(Kind::ComboBox, kEncodingCombo, "", 75, 62, 160, 60),
             ui::DialogItem(Kind::Label, "lblRange", "Range:  ", 10, 82, 60, 8),
             ui::PageItem(Kind::ComboBox, kRangeCombo, "", 75, 80, 160, 80)}};
}

class HardwarePage final : public AcqPage {
  public:
    HardwarePage() : AcqPage(kHardwarePage, HardwareTemplate()) {}

  protected:
    void DoDataExchange(ui::DataExchange& dx) override {
        const bool softwareResolution = Capability(HXSSC_SWRESOLUTION) > 0;
        if (softwareResolution || !dx.Saving())
            dx.Property("Resolution", resolution_, kResolutionEdit);
        dx.Property("ChannelType", channelType_, kChannelTypeCombo);
        dx.Property("Encoding", encoding_, kEncodingCombo);
        dx.Property("Range", range_, kRangeCombo);
        dx.Property("DmaUsage", dmaUsage_, kDmaEdit);
        if (!dx.Saving()) {
            FillOptionCombo(Combo(kChannelTypeCombo), browsing::kChannelTypes, kChannelType);
            FillOptionCombo(Combo(kEncodingCombo), browsing::kEncodings, kEncoding);
            FillRanges();
        }
        if (softwareResolution || !dx.Saving()) {
            dx.Text(kResolutionEdit, resolution_);
            dx.MinMax(resolution_, kLowestResolution, kHighestResolution);
        }
        dx.ComboIndex(kChannelTypeCombo, channelType_);
        dx.ComboIndex(kEncodingCombo, encoding_);
        dx.ComboIndex(kRangeCombo, range_);
        dx.Text(kDmaEdit, dmaUsage_);
        if (!dx.Saving())
            EnableEdits();
    }

  private:
    void FillRanges() {
        ui::ComboBox& combo = Combo(kRangeCombo);
        combo.Clear();
        double upper = 0.0;
        double lower = 0.0;
        const AcqControl* control = Control();
        if (Subsystem() == 0 || hxDaGetRange(Subsystem(), &upper, &lower) != HXNOERROR) {
            combo.SetEnabled(false);
            return;
        }
        combo.SetEnabled(true);
        for (const RangeEntry& range : ControlAccess::Tables(*control).ranges)
            combo.AddItem(range.text);
        const SHORT cached = ControlAccess::Settings(*control).range;
        combo.SetListIndex(cached >= 0 && cached < combo.ListCount() ? cached : -1);
    }
    void EnableEdits() {
        const bool open = Subsystem() != 0;
        Edit(kResolutionEdit).SetEnabled(open && Capability(HXSSC_SWRESOLUTION) > 0);
        Edit(kDmaEdit).SetEnabled(open && Capability(HXSSC_NUMDMACHANNELS) > 0);
    }

    std::int16_t resolution_ = 0;
    std::int16_t dmaUsage_ = 0;
    std::int16_t channelType_ = -1;
    std::int16_t encoding_ = -1;
    std::int16_t range_ = -1;
};

[[maybe_unused]] const bool kAdded = AddPage<HardwarePage>(kHardwarePage);

}  // namespace
}  // namespace mqacq32::pages
