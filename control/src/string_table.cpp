// The module's string table.
#include "string_ids.h"
#include "win32/module.h"
#include "win32/strings.h"

namespace mqacq32 {

std::string ModuleText(UINT id) {
    constexpr int kLongestText = 255;
    static const char anchor = 0;
    HMODULE module = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        &anchor, &module);
    char text[kLongestText + 1] = {};
    LoadStringA(module, id, text, sizeof(text));
    return text;
}

}  // namespace mqacq32

MQ_STRINGTABLE_BEGIN
MQ_STRING(mqacq32::kTypeNameText, "MQAcq32 Control")
MQ_STRING(mqacq32::text::kDeviceCaption, "Device")
MQ_STRING(mqacq32::text::kHardwareCaption, "Hardware")
MQ_STRING(mqacq32::text::kListsCaption, "Lists")
MQ_STRING(mqacq32::text::kClocksCaption, "Clocks")
MQ_STRING(mqacq32::text::kDataIoCaption, "Data I/O")
MQ_STRING(mqacq32::text::kCounterTimerCaption, "Counter/Timer")
MQ_STRING(mqacq32::text::kTriggersCaption, "Triggers")
MQ_STRING(mqacq32::text::kQuadratureCaption, "Quadrature Decoders")
MQ_STRING(mqacq32::text::kDisable, "0 - Disable")
MQ_STRING(mqacq32::text::kEnable, "1 - Enable")
MQ_STRING(mqacq32::text::kSingleEnded, "0 - Single Ended")
MQ_STRING(mqacq32::text::kDifferential, "1 - Differential")
MQ_STRING(mqacq32::text::kBinary, "0 - Binary")
MQ_STRING(mqacq32::text::kTwosComplement, "1 - 2s Complement")
MQ_STRING(mqacq32::text::kTriggerSoftware, "0 - Software")
MQ_STRING(mqacq32::text::kTriggerExternal, "1 - External")
MQ_STRING(mqacq32::text::kTriggerThresholdPos, "2 - ThresholdPos")
MQ_STRING(mqacq32::text::kTriggerThresholdNeg, "3 - ThresholdNeg")
MQ_STRING(mqacq32::text::kTriggerAnalogEvent, "4 - Analog Event")
MQ_STRING(mqacq32::text::kTriggerDigitalEvent, "5 - Digital Event")
MQ_STRING(mqacq32::text::kTriggerTimerEvent, "6 - Timer Event")
MQ_STRING(mqacq32::text::kExtraTrigger, "%ld - Extra Trigger %ld")
MQ_STRING(mqacq32::text::kClockInternal, "0 - Internal")
MQ_STRING(mqacq32::text::kClockExternal, "1 - External")
MQ_STRING(mqacq32::text::kExtraClock, "%ld - Extra Clock %ld")
MQ_STRING(mqacq32::text::kContinuous, "0 - Continuous")
MQ_STRING(mqacq32::text::kSingleValue, "1 - Single Value")
MQ_STRING(mqacq32::text::kContinuousPreTrigger, "4 - Continuous Pre-Trigger")
MQ_STRING(mqacq32::text::kContinuousAboutTrigger, "5 - Continuous About Trigger")
MQ_STRING(mqacq32::text::kNoBufferWrap, "0 - No Buffer Wrap")
MQ_STRING(mqacq32::text::kWrapMultiple, "1 - Wrap Multiple Buffers")
MQ_STRING(mqacq32::text::kWrapSingle, "2 - Wrap a Single Buffer")
MQ_STRING(mqacq32::text::kFirstGateType + 0, "0 - None")
MQ_STRING(mqacq32::text::kFirstGateType + 1, "1 - High Level")
MQ_STRING(mqacq32::text::kFirstGateType + 2, "2 - Low Level")
MQ_STRING(mqacq32::text::kFirstGateType + 3, "3 - Rising Edge")
MQ_STRING(mqacq32::text::kFirstGateType + 4, "4 - Falling Edge")
MQ_STRING(mqacq32::text::kFirstGateType + 5, "5 - Level Change")
MQ_STRING(mqacq32::text::kFirstGateType + 6, "6 - High Level debounce")
MQ_STRING(mqacq32::text::kFirstGateType + 7, "7 - Low Level debounce")
MQ_STRING(mqacq32::text::kFirstGateType + 8, "8 - Rising Edge debounce")
MQ_STRING(mqacq32::text::kFirstGateType + 9, "9 - Falling Edge debounce")
MQ_STRING(mqacq32::text::kFirstGateType + 10, "10- Level Change debounce")
MQ_STRING(mqacq32::text::kActiveLow, "0 - Active Low")
MQ_STRING(mqacq32::text::kActiveHigh, "1 - Active High")
MQ_STRING(mqacq32::text::kFirstCtMode + 0, "0 - Count Events")
MQ_STRING(mqacq32::text::kFirstCtMode + 1, "1 - Generate Rate")
MQ_STRING(mqacq32::text::kFirstCtMode + 2, "2 - One Shot")
MQ_STRING(mqacq32::text::kFirstCtMode + 3, "3 - Repeatable One Shot")
MQ_STRING(mqacq32::text::kFirstCtMode + 4, "4 - Up/Down Counting")
MQ_STRING(mqacq32::text::kFirstCtMode + 5, "5 - Edge to Edge Measure")
MQ_STRING(mqacq32::text::kFirstCtMode + 6, "6 - Continuous Measure")
MQ_STRING(mqacq32::text::kCascadeWithNext, "0 - Cascade With Next CT")
MQ_STRING(mqacq32::text::kSingleCt, "1 - Single CT")
MQ_STRING(mqacq32::text::kInternalRetrigger, "0 - Internal retrigger")
MQ_STRING(mqacq32::text::kScanPerTrigger, "1 - Scan per trigger")
MQ_STRING(mqacq32::text::kExtraRetrigger, "2 - Extra retrigger")
MQ_STRING(mqacq32::text::kGateRising, "0 - Gate Rising")
MQ_STRING(mqacq32::text::kGateFalling, "1 - Gate Falling")
MQ_STRING(mqacq32::text::kClockRising, "2 - Clock Rising")
MQ_STRING(mqacq32::text::kClockFalling, "3 - Clock Falling")
MQ_STRING(mqacq32::text::kIndexRisingEdge, "1 - Rising Edge")
MQ_STRING(mqacq32::text::kIndexFallingEdge, "2 - Falling Edge")
MQ_STRING(mqacq32::text::kNotSupported, "Not Supported")
MQ_STRING(mqacq32::text::kError, "Error!!")
MQ_STRING(mqacq32::text::kUnavailable, " --N/A--")
MQ_STRING(mqacq32::kDesignTimeText, "This property may not be retrieved at design time.")
MQ_STRINGTABLE_END
