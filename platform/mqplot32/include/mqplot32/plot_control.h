// The plot control's behaviour behind its members (mqplot32.h gives their dispatch identifiers
// and types). It draws through the forms runtime's drawing surface as a hosted view object.
//
// DrawBuffer takes a buffer of the buffer manager by handle and copies what it draws before the
// assignment returns: every valid sample (or, when none are set, the buffer's byte size divided
// by its data width), the data width, the data bits and the DataEncoding in force. The caller may
// free the buffer at once; the plot never reads the handle again. Samples are interleaved:
// sample i belongs to trace i mod TraceCount. Points XStart to XStart + XSpan - 1 of each trace
// span the plot's width; Y runs linearly from YMinimum at the bottom to YMaximum at the top.
//
// Appended values (DataEncoding 2) are kept per trace, HistoryLength at most, the oldest dropped
// first; XStart then indexes the kept points. With member 39 false a value goes to the trace
// whose colour was set last; with member 39 true the values go to each trace in turn, and
// setting TraceColor(i) makes trace i the next. Setting member 33 true empties every trace's
// kept points (the strip chart does so at the start of a recording and before a file's).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "mqplot32.h"
#include "ui/view_object.h"

namespace mqplot32 {

// DataEncoding values the control understands beyond the contract's three: single-precision
// floats (4 bytes a sample).
inline constexpr std::int16_t kEncodingSingles = 3;

// Colours of what is not a trace; no trace colour a panel uses is among them.
inline constexpr ui::Colour kBackground = 0x000000;
inline constexpr ui::Colour kGridColour = 0x505050;
inline constexpr ui::Colour kLabelColour = 0xC0C0C0;

// Where the plot area lies in the control's rectangle, in pixels from each edge: Y labels at
// the left, X labels below.
inline constexpr int kPlotLeft = 56;
inline constexpr int kPlotTop = 4;
inline constexpr int kPlotRight = 4;
inline constexpr int kPlotBottom = 16;

// What the plot holds, for tests.
struct Snapshot {
    std::vector<double> samples;  // decoded from the copied buffer, in buffer order
    int dataWidth = 0;
    int dataBits = 0;
    std::int16_t bufferEncoding = 0;  // the encoding the buffer was copied with
    std::int16_t encoding = 0;
    std::int32_t drawBuffer = 0;
    std::int16_t traceCount = 1;
    std::int32_t xStart = 0;
    double xSpan = 0;
    float yMinimum = 0, yMaximum = 0;
    float xGridStep = 0, xLabelStep = 0, yGridStep = 0, yLabelStep = 0;
    std::vector<ui::Colour> traceColours;
    std::vector<std::vector<float>> histories;
    bool autoRedraw = true;
};

// Registers the control's class under its ProgID with the forms runtime.
void RegisterPlotClass();

class PlotControl : public ui::ViewObject {
  public:
    PlotControl();
    ~PlotControl() override;

    // Axis and window.
    float YMinimum() const { return pending_.yMinimum; }
    void SetYMinimum(float value);
    float YMaximum() const { return pending_.yMaximum; }
    void SetYMaximum(float value);
    std::int32_t XStart() const { return pending_.xStart; }
    void SetXStart(std::int32_t value);
    double XSpan() const { return pending_.xSpan; }
    void SetXSpan(double value);
    float XGridStep() const { return pending_.xGridStep; }
    void SetXGridStep(float value);
    float XLabelStep() const { return pending_.xLabelStep; }
    void SetXLabelStep(float value);
    float YGridStep() const { return pending_.yGridStep; }
    void SetYGridStep(float value);
    float YLabelStep() const { return pending_.yLabelStep; }
    void SetYLabelStep(float value);

    // Data.
    std::int16_t DataEncoding() const { return pending_.encoding; }
    void SetDataEncoding(std::int16_t value);
    std::int16_t TraceCount() const { return pending_.traceCount; }
    void SetTraceCount(std::int16_t value);  // below 1 raises 380
    std::int32_t DrawBuffer() const { return pending_.drawBuffer; }
    // Raises 0x80040000 + the buffer manager's status, with its text, for a bad handle.
    void SetDrawBuffer(std::int32_t handle);
    std::int32_t TraceColor(std::int16_t index) const;
    void SetTraceColor(std::int16_t index, std::int32_t colour);  // a negative index raises 380

    // Appended values.
    std::int32_t HistoryLength() const { return historyLength_; }
    void SetHistoryLength(std::int32_t points);  // below 1 raises 380
    float AppendValueLast() const { return lastAppended_; }
    void AppendValue(float value);

    // Painting.
    bool AutoRedraw() const { return pending_.autoRedraw; }
    void SetAutoRedraw(bool value);

    // Stored members.
    bool Member2() const { return member2_; }
    void SetMember2(bool value) { member2_ = value; }
    bool Member33() const { return member33_; }
    // True starts the appended values afresh: every trace's kept points go.
    void SetMember33(bool value);
    bool Member39() const { return member39_; }
    void SetMember39(bool value) { member39_ = value; }

    // The control's first event: the user clicked the plot.
    std::function<void()> onClickEvent;

    void Draw(ui::Surface& surface) override;
    // Fires the control's event 1.
    void OnClick() override;
    // The members by the dispatch identifiers of mqplot32.h.
    uilang::Automation* Dispatch() override;

    Snapshot Take() const;
    // What is drawn: the state of the last repaint (AutoRedraw false keeps the old picture).
    Snapshot Shown() const;

  private:
    class Members;
    std::unique_ptr<Members> members_;
    struct State {
        std::shared_ptr<const std::vector<unsigned char>> samples;  // the buffer's bytes
        std::size_t count = 0;
        int dataWidth = 0;
        int dataBits = 0;
        std::int16_t bufferEncoding = 0;
        std::int16_t encoding = 0;
        std::int32_t drawBuffer = 0;
        std::int16_t traceCount = 1;
        std::int32_t xStart = 0;
        double xSpan = 100;
        float yMinimum = 0, yMaximum = 100;
        float xGridStep = 10, xLabelStep = 10, yGridStep = 10, yLabelStep = 10;
        std::vector<ui::Colour> traceColours;
        bool autoRedraw = true;
    };
    void Changed();
    Snapshot SnapshotOf(const State& state) const;
    // Sample i of a copied buffer, decoded as it was copied.
    static double SampleOf(const State& state, std::size_t i);

    State pending_;  // what the members say
    State shown_;    // what is painted
    std::vector<std::deque<float>> histories_;
    std::int32_t historyLength_ = 100;
    float lastAppended_ = 0;
    int appendTurn_ = 0;
    int lastColoured_ = 0;
    bool member2_ = false, member33_ = false, member39_ = false;
};

}  // namespace mqplot32
