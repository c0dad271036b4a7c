#include "mqplot32/plot_control.h"

#include "plot_members.h"

#include <cstring>

#include "hxmem32.h"
#include "mqplot32.h"
#include "uilang/runtime_error.h"

namespace mqplot32 {
namespace {

constexpr std::int32_t kAutomationErrorBase = static_cast<std::int32_t>(0x80040000u);
constexpr std::uint32_t kErrorTextSize = 256;
constexpr const char* kSource = "MQPlot32";
constexpr std::int32_t kDefaultTraceColour = 0x00FF00;
constexpr int kBitsPerWord = 32;

[[noreturn]] void RaiseBufferError(std::uint32_t status) {
    char text[kErrorTextSize] = {};
    hxDmGetErrorString(status, text, kErrorTextSize);
    throw uilang::RuntimeError(kAutomationErrorBase + static_cast<std::int32_t>(status), kSource,
                               text);
}

void Check(std::uint32_t status) {
    if (status != 0)
        RaiseBufferError(status);
}

double Decode(const unsigned char* data, int width, std::int16_t encoding, int bits) {
    if (encoding == kEncodingSingles && width == 4) {
        float value;
        std::memcpy(&value, data, sizeof value);
        return value;
    }
    std::uint32_t word = 0;
    std::memcpy(&word, data, static_cast<std::size_t>(width));
    if (encoding == kEncodingTwosComplement) {
        int widthBits = width * 8;
        if (widthBits < kBitsPerWord && (word & (1u << (widthBits - 1))) != 0)
            word |= ~((1u << widthBits) - 1);
        return static_cast<std::int32_t>(word);
    }
    if (bits > 0 && bits < kBitsPerWord)
        word &= (1u << bits) - 1;
    return word;
}

}  // namespace

PlotControl::PlotControl() : members_(std::make_unique<Members>(*this)) {
    pending_.samples = std::make_shared<std::vector<unsigned char>>();
    shown_ = pending_;
}

PlotControl::~PlotControl() = default;

void PlotControl::Changed() {
    if (!pending_.autoRedraw)
        return;
    shown_ = pending_;
    if (invalidate)
        invalidate();
}

void PlotControl::SetYMinimum(float value) {
    pending_.yMinimum = value;
    Changed();
}

void PlotControl::SetYMaximum(float value) {
    pending_.yMaximum = value;
    Changed();
}

void PlotControl::SetXStart(std::int32_t value) {
    pending_.xStart = value;
    Changed();
}

void PlotControl::SetXSpan(double value) {
    pending_.xSpan = value;
    Changed();
}

void PlotControl::SetXGridStep(float value) {
    pending_.xGridStep = value;
    Changed();
}

void PlotControl::SetXLabelStep(float value) {
    pending_.xLabelStep = value;
    Changed();
}

void PlotControl::SetYGridStep(float value) {
    pending_.yGridStep = value;
    Changed();
}

void PlotControl::SetYLabelStep(float value) {
    pending_.yLabelStep = value;
    Changed();
}

void PlotControl::SetDataEncoding(std::int16_t value) {
    pending_.encoding = value;
    Changed();
}

void PlotControl::SetTraceCount(std::int16_t value) {
    if (value < 1)
        uilang::Raise(uilang::kErrInvalidPropertyValue);
    pending_.traceCount = value;
    histories_.resize(static_cast<std::size_t>(value));
    appendTurn_ %= value;
    Changed();
}

void PlotControl::SetDrawBuffer(std::int32_t handle) {
    // The bytes are taken as they are; samples are decoded when drawn (only the window's).
    auto samples = std::make_shared<std::vector<unsigned char>>();
    std::size_t count = 0;
    int width = 0;
    int bits = 0;
    if (handle != 0) {
        HBUF buffer = static_cast<HBUF>(handle);
        std::uint32_t dataWidth = 0, dataBits = 0, valid = 0, bytes = 0;
        void* data = nullptr;
        Check(hxDmGetDataWidth(buffer, &dataWidth));
        Check(hxDmGetDataBits(buffer, &dataBits));
        Check(hxDmGetValidSamples(buffer, &valid));
        Check(hxDmGetBufferSize(buffer, &bytes));
        Check(hxDmGetBufferPtr(buffer, &data));
        count = valid != 0 ? valid : bytes / dataWidth;
        const auto* first = static_cast<const unsigned char*>(data);
        samples->assign(first, first + count * dataWidth);
        width = static_cast<int>(dataWidth);
        bits = static_cast<int>(dataBits);
    }
    pending_.samples = std::move(samples);
    pending_.count = count;
    pending_.dataWidth = width;
    pending_.dataBits = bits;
    pending_.bufferEncoding = pending_.encoding;
    pending_.drawBuffer = handle;
    Changed();
}

double PlotControl::SampleOf(const State& state, std::size_t i) {
    return Decode(state.samples->data() + i * static_cast<std::size_t>(state.dataWidth),
                  state.dataWidth, state.bufferEncoding, state.dataBits);
}

std::int32_t PlotControl::TraceColor(std::int16_t index) const {
    if (index < 0)
        uilang::Raise(uilang::kErrInvalidPropertyValue);
    auto i = static_cast<std::size_t>(index);
    return i < pending_.traceColours.size() ? static_cast<std::int32_t>(pending_.traceColours[i])
                                            : kDefaultTraceColour;
}

void PlotControl::SetTraceColor(std::int16_t index, std::int32_t colour) {
    if (index < 0)
        uilang::Raise(uilang::kErrInvalidPropertyValue);
    auto i = static_cast<std::size_t>(index);
    if (pending_.traceColours.size() <= i)
        pending_.traceColours.resize(i + 1, kDefaultTraceColour);
    pending_.traceColours[i] = static_cast<ui::Colour>(colour);
    lastColoured_ = index;
    appendTurn_ = index;
    Changed();
}

void PlotControl::SetHistoryLength(std::int32_t points) {
    if (points < 1)
        uilang::Raise(uilang::kErrInvalidPropertyValue);
    historyLength_ = points;
    for (auto& history : histories_)
        while (history.size() > static_cast<std::size_t>(points))
            history.pop_front();
    Changed();
}

void PlotControl::SetMember33(bool value) {
    member33_ = value;
    if (!value)
        return;
    for (auto& history : histories_)
        history.clear();
    appendTurn_ = 0;
    Changed();
}

void PlotControl::AppendValue(float value) {
    int trace = member39_ ? appendTurn_ : lastColoured_;
    if (histories_.size() <= static_cast<std::size_t>(trace))
        histories_.resize(static_cast<std::size_t>(trace) + 1);
    auto& history = histories_[static_cast<std::size_t>(trace)];
    history.push_back(value);
    while (history.size() > static_cast<std::size_t>(historyLength_))
        history.pop_front();
    lastAppended_ = value;
    if (member39_)
        appendTurn_ = (appendTurn_ + 1) % std::max<int>(1, pending_.traceCount);
    Changed();
}

void PlotControl::SetAutoRedraw(bool value) {
    pending_.autoRedraw = value;
    Changed();
}

void PlotControl::OnClick() {
    if (onClickEvent)
        onClickEvent();
    if (fireEvent) {
        uilang::Arguments none;
        fireEvent(kClickEvent, none);
    }
}

Snapshot PlotControl::SnapshotOf(const State& state) const {
    Snapshot snapshot;
    snapshot.samples.reserve(state.count);
    for (std::size_t i = 0; i < state.count; ++i)
        snapshot.samples.push_back(SampleOf(state, i));
    snapshot.dataWidth = state.dataWidth;
    snapshot.dataBits = state.dataBits;
    snapshot.bufferEncoding = state.bufferEncoding;
    snapshot.encoding = state.encoding;
    snapshot.drawBuffer = state.drawBuffer;
    snapshot.traceCount = state.traceCount;
    snapshot.xStart = state.xStart;
    snapshot.xSpan = state.xSpan;
    snapshot.yMinimum = state.yMinimum;
    snapshot.yMaximum = state.yMaximum;
    snapshot.xGridStep = state.xGridStep;
    snapshot.xLabelStep = state.xLabelStep;
    snapshot.yGridStep = state.yGridStep;
    snapshot.yLabelStep = state.yLabelStep;
    snapshot.traceColours = state.traceColours;
    for (const auto& history : histories_)
        snapshot.histories.emplace_back(history.begin(), history.end());
    snapshot.autoRedraw = state.autoRedraw;
    return snapshot;
}

Snapshot PlotControl::Take() const {
    return SnapshotOf(pending_);
}

Snapshot PlotControl::Shown() const {
    return SnapshotOf(shown_);
}

}  // namespace mqplot32
