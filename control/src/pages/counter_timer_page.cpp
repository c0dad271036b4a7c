// The Counter/Timer page: the counter/timer mode, gate type, pulse type and width, the cascade
// mode (only where counters cascade) and the edges of an edge-to-edge measurement.
#include <string>

#include "pages/column_layout.h"
#include "pages/page_class.h"
#include "pages/page_controls.h"
#include "pages/page_pattern.h"

namespace mqacq32::pages {
namespace {

constexpr int kCtModeCombo = 216;
constexpr int kCascadeModeCombo = 217;
constexpr int kGateTypeCombo = 218;
constexpr int kPulseTypeCombo = 219;
constexpr int kPulseWidthEdit = 220;
constexpr int kStartEdgeCombo = 221;
constexpr int kStopEdgeCombo = 222;

constexpr char kMeasureFrame[] = "fraMeasureMode";

ui::PageTemplate CounterTimerTemplate() {
    using ui::Kind;
    // Two columns of labels above their controls; the edges inside their group on the right.
    using L = ColumnLayout;
    constexpr int kLeft = L::kLeft;
    constexpr int kRight = L::kRight;
    constexpr int kWidth = L::kWidth;
    constexpr int kLabelHeight = L::kLabelHeight;
    constexpr int kControlOffset = L::kControlOffset;
    constexpr int kDropHeight = L::kDropHeight;
    constexpr int kFrameTop = 30;
    constexpr int kFrameHeight = 76;
    constexpr int kInFrameLeft = 6;
    constexpr int kInFrameWidth = 100;
    constexpr int kStartEdgeTop = 10;
    constexpr int kStopEdgeTop = 38;
    constexpr auto label = L::Label;
    constexpr auto control = L::Control;
    auto inFrame = [](ui::ControlDesign design) {
        design.container = kMeasureFrame;
        return design;
    };
    return {kPageWidth,
            kPageHeight,
            {label("lblCtMode", "C/T Mode: ", kLeft, 0),
             control(Kind::ComboBox, kCtModeCombo, kLeft, 0),
             label("lblGateType", "Gate Type:", kLeft, 1),
             control(Kind::ComboBox, kGateTypeCombo, kLeft, 1),
             label("lblPulseType", "PulseType:", kLeft, 2),
             control(Kind::ComboBox, kPulseTypeCombo, kLeft, 2),
             label("lblCascadeMode", "Cascade Mode: ", kLeft, 3),
             control(Kind::ComboBox, kCascadeModeCombo, kLeft, 3),
             label("lblPulseWidth", "Pulse Width: ", kRight, 0),
             control(Kind::TextBox, kPulseWidthEdit, kRight, 0),
             ui::DialogItem(Kind::Frame, kMeasureFrame, "Measure Mode", kRight, kFrameTop, kWidth,
                            kFrameHeight),
             inFrame(ui::DialogItem(Kind::Label, "lblStartEdge", "Start Edge :", kInFrameLeft,
                                    kStartEdgeTop, kInFrameWidth, kLabelHeight)),
             inFrame(ui::PageItem(Kind::ComboBox, kStartEdgeCombo, "", kInFrameLeft,
                                  kStartEdgeTop + kControlOffset, kInFrameWidth, kDropHeight)),
             inFrame(ui::DialogItem(Kind::Label, "lblStopEdge", "Stop Edge :", kInFrameLeft,
                                    kStopEdgeTop, kInFrameWidth, kLabelHeight)),
             inFrame(ui::PageItem(Kind::ComboBox, kStopEdgeCombo, "", kInFrameLeft,
                                  kStopEdgeTop + kControlOffset, kInFrameWidth, kDropHeight))}};
}

class CounterTimerPage final : public AcqPage {
  public:
    CounterTimerPage() : AcqPage(kCounterTimerPage, CounterTimerTemplate()) {}

  protected:
    void DoDataExchange(ui::DataExchange& dx) override {
        const bool cascades = Capability(HXSSC_CASCADE) != 0;
        dx.Property("CTMode", ctMode_, kCtModeCombo);
        dx.Property("GateType", gateType_, kGateTypeCombo);
        dx.Property("PulseType", pulseType_, kPulseTypeCombo);
        if (cascades)
            dx.Property("CascadeMode", cascadeMode_, kCascadeModeCombo);
        dx.Property("PulseWidth", pulseWidth_, kPulseWidthEdit);
        dx.Property("MeasureStartEdge", startEdge_, kStartEdgeCombo);
        dx.Property("MeasureStopEdge", stopEdge_, kStopEdgeCombo);
        dx.ComboIndex(kCtModeCombo, ctMode_);
        dx.ComboIndex(kGateTypeCombo, gateType_);
        dx.ComboIndex(kPulseTypeCombo, pulseType_);
        if (cascades)
            dx.ComboIndex(kCascadeModeCombo, cascadeMode_);
        dx.Text(kPulseWidthEdit, pulseWidth_);
        dx.ComboIndex(kStartEdgeCombo, startEdge_);
        dx.ComboIndex(kStopEdgeCombo, stopEdge_);
        if (dx.Saving())
            return;
        // The fills run inside the load, so that what they select does not count as the user's.
        FillOptionCombo(Combo(kCtModeCombo), browsing::kCtModes, kCtMode);
        FillOptionCombo(Combo(kCascadeModeCombo), browsing::kCascadeModes, kCascadeMode);
        // Listed where the counter can run alone, but chosen only where counters cascade.
        if (!cascades)
            Combo(kCascadeModeCombo).SetEnabled(false);
        FillOptionCombo(Combo(kGateTypeCombo), browsing::kGateTypes, kGateType);
        FillOptionCombo(Combo(kPulseTypeCombo), browsing::kPulseTypes, kPulseType);
        EnablePulseWidth();
        FillEdges(Combo(kStartEdgeCombo), kMeasureStartEdge);
        FillEdges(Combo(kStopEdgeCombo), kMeasureStopEdge);
    }

  private:
    void EnablePulseWidth() {
        const HDASS subsystem = Subsystem();
        double width = 0.0;
        Edit(kPulseWidthEdit)
            .SetEnabled(subsystem != 0 && hxDaGetPulseWidth(subsystem, &width) != HXNOTSUPPORTED);
    }

    // The four edges, each available by its bit of HXSSC_CTMODE_EDGETOEDGE; enabled when the
    // counter measures on any of them.
    void FillEdges(ui::ComboBox& combo, const ShortSetting& setting) {
        const HDASS subsystem = Subsystem();
        UINT library = 0;
        if (subsystem == 0 || setting.get(subsystem, &library) != HXNOERROR) {
            DisableAndEmpty(combo);
            return;
        }
        combo.Clear();
        bool anyEdge = false;
        for (const browsing::Option& option : browsing::kMeasureEdges) {
            std::string text;
            if (AddEdgeCapabilityString(subsystem, option.gate, option.text, &text))
                anyEdge = true;
            combo.AddItem(text);
        }
        SelectValue(combo, SettingsOrFresh(Settings()).*(setting.cached));
        combo.SetEnabled(anyEdge);
    }

    std::int16_t ctMode_ = kUnset;
    std::int16_t gateType_ = kUnset;
    std::int16_t cascadeMode_ = kUnset;
    std::int16_t pulseType_ = kUnset;
    std::int16_t startEdge_ = kUnset;
    std::int16_t stopEdge_ = kUnset;
    double pulseWidth_ = 0.0;
};

[[maybe_unused]] const bool kAdded = AddPage<CounterTimerPage>(kCounterTimerPage);

}  // namespace
}  // namespace mqacq32::pages
