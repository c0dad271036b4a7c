// The Mq5120 dialog "Configurable Board Options": the A/D inputs' termination resistors, the
// digital input's interrupt-on-change bits and whether the board is on a USB 2.0 connection, read
// from the board's special registers.
#include "board_dialog.h"
#include "dialog_entries.h"
#include "ui/dialog_units.h"

namespace boardext::dialogs {
namespace {

constexpr UINT kTerminationRegister = 0x4002;
constexpr UINT kInterruptMaskRegister = 0x4004;
constexpr UINT kUsbConnectionRegister = 0x4006;
constexpr UINT kRegisterSize = 1;
constexpr UINT kTerminationOn = 0xFF;
constexpr UINT kTerminationOff = 0;
constexpr UINT kLowByte = 0xFF;
constexpr int kBits = 8;
constexpr char kModelWord[] = "MQ5120";

ui::FormDesign Mq5120Design() {
    using ui::DialogItem;
    using ui::Kind;
    std::vector<ui::ControlDesign> controls = {
        DialogItem(Kind::CheckBox, "chkTermination",
                   "Enable 10k Ohm A/D Input Termination Resistors", 7, 7, 226, 10),  // 2001
        DialogItem(Kind::Frame, "fraInterrupt", "   Digital Input Interrupt On Change", 7, 22, 164,
                   42),
    };
    AddBitBoxes(controls, "chkBit", "fraInterrupt", "Bit ", 8, 12);  // 2009-2016
    ui::ControlDesign usb = DialogItem(Kind::CheckBox, "chkUsb2", "Usb Version 2.0", 7, 70, 100,
                                       10);  // 2018, display only
    usb.enabled = false;
    controls.push_back(usb);
    return DialogDesign("Configurable Board Options", 240, 106, std::move(controls));
}

class Mq5120Dialog : public BoardDialog {
  public:
    Mq5120Dialog(HDEV device, bool hasAnalogInputs)
        : BoardDialog(Mq5120Design(), device), hasAnalogInputs_(hasAnalogInputs) {}

  private:
    HXSTATUS OnOpen() override {
        UINT termination = 0, mask = 0, usb = 0;
        for (auto [number, value] :
             {std::pair{kTerminationRegister, &termination},
              std::pair{kInterruptMaskRegister, &mask}, std::pair{kUsbConnectionRegister, &usb}}) {
            const HXSTATUS status = hxDiagReadReg(device_, number, value, kRegisterSize);
            if (status != HXNOERROR) {
                ShowBox(StatusText(status), kWdmTitle);
                ShowBox(DeviceInUseText(kModelWord), kWdmTitle);
                return status;
            }
        }
        SetChecked("chkUsb2", usb != 0);
        // The interrupt mask is the digital input's, which every variant has: it shows as stored
        // even where the termination, an A/D setting, is not offered.
        for (int bit = 0; bit < kBits; ++bit)
            SetChecked("chkBit", (mask >> bit) & 1u, bit);
        if (hasAnalogInputs_) {
            SetChecked("chkTermination", (termination & kLowByte) != 0);
        } else {
            SetChecked("chkTermination", false);
            Find("chkTermination").SetEnabled(false);
        }
        return HXNOERROR;
    }

    void OnApply() override {
        const UINT termination = Checked("chkTermination") ? kTerminationOn : kTerminationOff;
        UINT mask = 0;
        for (int bit = 0; bit < kBits; ++bit)
            mask |= static_cast<UINT>(Checked("chkBit", bit)) << bit;
        for (auto [number, value] : {std::pair{kTerminationRegister, termination},
                                     std::pair{kInterruptMaskRegister, mask}}) {
            const HXSTATUS status = hxDiagWriteReg(device_, number, value, kRegisterSize);
            if (status != HXNOERROR)
                ShowBox(StatusText(status), kWdmTitle);
        }
    }

    bool hasAnalogInputs_;
};

}  // namespace

BOOL ShowMq5120Dialog(LPCSTR, std::uint32_t device, BOOL hasAnalogInputs) {
    if (ui::Runtime::CurrentIfAny() == nullptr)
        return FALSE;
    Mq5120Dialog dialog(device, hasAnalogInputs != FALSE);
    dialog.DoModal();
    return TRUE;
}

}  // namespace boardext::dialogs
