// The Data I/O page: the data flow and the wrap mode of the open subsystem. The data flow's
// entries stand for the control values 0, 1, 4 and 5: the page selects the entry of the
// control's value and writes back the value of the chosen entry, not its position.
#include "pages/page_class.h"
#include "pages/page_pattern.h"

namespace mqacq32::pages {
namespace {

constexpr int kDataFlowCombo = 211;
constexpr int kWrapModeCombo = 212;

ui::PageTemplate DataIoTemplate() {
    using ui::Kind;
    return {kPageWidth,
            kPageHeight,
            {ui::DialogItem(Kind::Label, "lblDataFlow", "Data Flow:  ", 10, 27, 60, 8),
             ui::PageItem(Kind::ComboBox, kDataFlowCombo, "", 75, 25, 160, 80),
             ui::DialogItem(Kind::Label, "lblWrapMode", "Wrap Mode:  ", 10, 57, 60, 8),
             ui::PageItem(Kind::ComboBox, kWrapModeCombo, "", 75, 55, 160, 80)}};
}

class DataIoPage final : public AcqPage {
  public:
    DataIoPage() : AcqPage(kDataIoPage, DataIoTemplate()) {}

  protected:
    void DoDataExchange(ui::DataExchange& dx) override {
        const bool continuous = Capability(HXSSC_DATAFLOW_CONTINUOUS) != 0;
        dx.Property("DataFlow", dataFlow_, kDataFlowCombo);
        if (continuous)
            dx.Property("WrapMode", wrapMode_, kWrapModeCombo);
        if (!dx.Saving()) {
            FillOptionCombo(Combo(kDataFlowCombo), browsing::kDataFlows, kDataFlow);
            FillOptionCombo(Combo(kWrapModeCombo), browsing::kWrapModes, kWrapMode);
        }
        ExchangeDataFlow(dx.Saving());
        if (continuous)
            dx.ComboIndex(kWrapModeCombo, wrapMode_);
    }

  private:
    void ExchangeDataFlow(bool saving) {
        ui::ComboBox& combo = Combo(kDataFlowCombo);
        const int index = combo.ListIndex();
        if (saving) {
            if (index >= 0 && static_cast<std::size_t>(index) < std::size(browsing::kDataFlows))
                dataFlow_ = browsing::kDataFlows[static_cast<std::size_t>(index)].value;
            return;
        }
        if (combo.ListCount() > 0)
            combo.SetListIndex(OptionIndex(browsing::kDataFlows, dataFlow_));
    }

    std::int16_t dataFlow_ = -1;
    std::int16_t wrapMode_ = -1;
};

[[maybe_unused]] const bool kAdded = AddPage<DataIoPage>(kDataIoPage);

}  // namespace
}  // namespace mqacq32::pages
