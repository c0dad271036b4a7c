#include "plot_members.h"

#include "mqplot32.h"
#include "ui/view_object.h"
#include "uilang/runtime_error.h"

namespace mqplot32 {
namespace {

using uilang::Value;

[[noreturn]] void NoSuchMember() {
    throw uilang::RuntimeError(uilang::kErrMemberNotFound, "MQPlot32",
                               "Object doesn't support this property or method");
}

std::int16_t IndexOf(const uilang::Arguments& index) {
    if (index.size() != 1)
        uilang::Raise(uilang::kErrInvalidPropertyValue);
    return uilang::ToShort(index[0]);
}

}  // namespace

Value PlotControl::Members::Get(std::int32_t dispid, const uilang::Arguments& index) {
    namespace id = dispid;
    switch (dispid) {
        case id::Member2:
            return plot_.Member2();
        case id::YMinimum:
            return plot_.YMinimum();
        case id::YMaximum:
            return plot_.YMaximum();
        case id::XStart:
            return plot_.XStart();
        case id::XSpan:
            return plot_.XSpan();
        case id::DataEncoding:
            return plot_.DataEncoding();
        case id::TraceCount:
            return plot_.TraceCount();
        case id::XGridStep:
            return plot_.XGridStep();
        case id::XLabelStep:
            return plot_.XLabelStep();
        case id::YLabelStep:
            return plot_.YLabelStep();
        case id::YGridStep:
            return plot_.YGridStep();
        case id::AutoRedraw:
            return plot_.AutoRedraw();
        case id::Member33:
            return plot_.Member33();
        case id::HistoryLength:
            return plot_.HistoryLength();
        case id::DrawBuffer:
            return plot_.DrawBuffer();
        case id::AppendValue:
            return plot_.AppendValueLast();
        case id::Member39:
            return plot_.Member39();
        case id::TraceColor:
            return plot_.TraceColor(IndexOf(index));
        default:
            NoSuchMember();
    }
}

void PlotControl::Members::Put(std::int32_t dispid, const Value& value,
                               const uilang::Arguments& index) {
    namespace id = dispid;
    switch (dispid) {
        case id::Member2:
            return plot_.SetMember2(uilang::ToBool(value));
        case id::YMinimum:
            return plot_.SetYMinimum(uilang::ToSingle(value));
        case id::YMaximum:
            return plot_.SetYMaximum(uilang::ToSingle(value));
        case id::XStart:
            return plot_.SetXStart(uilang::ToLong(value));
        case id::XSpan:
            return plot_.SetXSpan(uilang::ToDouble(value));
        case id::DataEncoding:
            return plot_.SetDataEncoding(uilang::ToShort(value));
        case id::TraceCount:
            return plot_.SetTraceCount(uilang::ToShort(value));
        case id::XGridStep:
            return plot_.SetXGridStep(uilang::ToSingle(value));
        case id::XLabelStep:
            return plot_.SetXLabelStep(uilang::ToSingle(value));
        case id::YLabelStep:
            return plot_.SetYLabelStep(uilang::ToSingle(value));
        case id::YGridStep:
            return plot_.SetYGridStep(uilang::ToSingle(value));
        case id::AutoRedraw:
            return plot_.SetAutoRedraw(uilang::ToBool(value));
        case id::Member33:
            return plot_.SetMember33(uilang::ToBool(value));
        case id::HistoryLength:
            return plot_.SetHistoryLength(uilang::ToLong(value));
        case id::DrawBuffer:
            return plot_.SetDrawBuffer(uilang::ToLong(value));
        case id::AppendValue:
            return plot_.AppendValue(uilang::ToSingle(value));
        case id::Member39:
            return plot_.SetMember39(uilang::ToBool(value));
        case id::TraceColor:
            return plot_.SetTraceColor(IndexOf(index), uilang::ToLong(value));
        default:
            NoSuchMember();
    }
}

Value PlotControl::Members::Call(std::int32_t, const uilang::Arguments&) {
    NoSuchMember();
}

uilang::Automation* PlotControl::Dispatch() {
    return members_.get();
}

void RegisterPlotClass() {
    ui::RegisterControlClass(std::string(kProgId), [] { return std::make_shared<PlotControl>(); });
}

}  // namespace mqplot32
