#include "modules/panel_pattern.h"

#include "modules/acq_members.h"
#include "modules/hxdadefs.h"
#include "modules/hxmemdefs.h"
#include "ui/runtime.h"
#include "uilang/conversions.h"

namespace larkspur::panel {

namespace id = acq::dispid;

void FillBoards(uilang::Automation& acq, ui::ComboBox& boards) {
    std::int16_t count = uilang::ToShort(acq.Get(id::numBoards));
    boards.Clear();
    for (std::int16_t i = 0; i < count; ++i)
        boards.AddItem(uilang::ToText(acq.Get(id::BoardList, {i})));
}

void OpenSubsystem(uilang::Automation& acq, const std::string& board, std::int16_t type) {
    acq.Put(id::Board, board);
    acq.Put(id::SubSysType, type);
    acq.Put(id::SubSysElement, std::int16_t{0});
}

void ChooseElement(uilang::Automation& acq, std::int16_t type, std::int16_t element) {
    if (uilang::ToShort(acq.Get(id::SubSysType)) != type)
        acq.Put(id::SubSysType, type);
    acq.Put(id::SubSysElement, element);
}

void ShowSetupFailure(const std::string& text, const std::string& board, const std::string& title) {
    ui::Runtime::Current().MsgBox(text + board, ui::kMbExclamation, title);
}

void ShowOperationError(uilang::Automation& acq, const uilang::RuntimeError& error,
                        const std::string& title) {
    std::string text = error.Description();
    if (error.Number() >= acq::kStatusErrorBase) {
        try {
            text = uilang::ToText(acq.Get(id::LastErrDescription));
        } catch (const uilang::RuntimeError&) {
        }
    }
    ui::Runtime::Current().MsgBox(text, ui::kMbExclamation, title);
}

void FillChannels(ui::ComboBox& channels, std::int32_t count) {
    channels.Clear();
    for (std::int32_t i = 0; i < count; ++i)
        channels.AddItem(std::to_string(i));
    channels.SetListIndex(0);
}

void FillRanges(uilang::Automation& acq, ui::ComboBox& ranges) {
    ranges.Clear();
    std::int16_t count = uilang::ToShort(acq.Get(id::numRanges));
    for (std::int16_t i = 0; i < count; ++i) {
        double low = uilang::ToDouble(acq.Get(id::MinRangeValues, {i}));
        double high = uilang::ToDouble(acq.Get(id::MaxRangeValues, {i}));
        ranges.AddItem(uilang::CStr(low) + " to " + uilang::CStr(high));
    }
    ranges.SetListIndex(0);
}

std::string PortLetter(int element, int letters) {
    if (element < 0 || element >= letters)
        uilang::Raise(kErrSubscript);
    return std::string(1, static_cast<char>('A' + element));
}

void ReleaseSubsystem(ui::HostedControl& acq) {
    std::int32_t hdass = 0;
    try {
        hdass = uilang::ToLong(acq.Members().Get(id::hDass));
    } catch (const uilang::RuntimeError&) {
    }
    hxdadefs::ReleaseDASS(hdass);
}

void FreeDoneBuffers(uilang::Automation& acq) {
    const std::int16_t count = uilang::ToShort(acq.Get(id::QueueSize, {larkspur::acq::kDoneQueue}));
    for (int i = 0; i < count; ++i) {
        const std::int32_t h = uilang::ToLong(acq.Get(id::Queue));
        if (h != 0)
            hxmemdefs::FreeBuffer(h);
    }
}

}  // namespace larkspur::panel
