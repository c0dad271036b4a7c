// The Mq5200 dialog "MQ5200 Series Control Panel": the termination resistors of channels 0-7
// (register 2) and whether the board's power stays on (register 3).
#include "board_dialog.h"
#include "dialog_entries.h"
#include "ui/dialog_units.h"

namespace boardext::dialogs {
namespace {

constexpr UINT kTerminationRegister = 2;
constexpr UINT kPowerRegister = 3;
constexpr UINT kRegisterSize = 1;
constexpr int kChannels = 8;
constexpr char kModelWord[] = "MQ5200";

ui::FormDesign Mq5200Design() {
    using ui::DialogItem;
    using ui::Kind;
    std::vector<ui::ControlDesign> controls = {
        DialogItem(Kind::Frame, "fraTermination", "10KOhm Resistor Terminations", 7, 7, 164, 42),
    };
    AddBitBoxes(controls, "chkChannel", "fraTermination", "CH", 8, 12);  // 2000-2007
    controls.push_back(
        DialogItem(Kind::CheckBox, "chkPower", "Power Always On", 7, 56, 100, 10));  // 2008
    return DialogDesign("MQ5200 Series Control Panel", 214, 92, std::move(controls));
}

class Mq5200Dialog : public BoardDialog {
  public:
    explicit Mq5200Dialog(HDEV device) : BoardDialog(Mq5200Design(), device) {}

  private:
    HXSTATUS OnOpen() override {
        UINT terminations = 0;
        const HXSTATUS status =
            hxDiagReadReg(device_, kTerminationRegister, &terminations, kRegisterSize);
        if (status != HXNOERROR) {
            ShowBox(StatusText(status), kWdmTitle);
            ShowBox(DeviceInUseText(kModelWord), kWdmTitle);
            return status;
        }
        for (int channel = 0; channel < kChannels; ++channel)
            SetChecked("chkChannel", (terminations >> channel) & 1u, channel);
        // The power setting goes unchecked when it cannot be read, so that OK never writes back
        // a value the board did not give.
        UINT power = 0;
        if (hxDiagReadReg(device_, kPowerRegister, &power, kRegisterSize) != HXNOERROR)
            power = 0;
        SetChecked("chkPower", power != 0);
        return HXNOERROR;
    }

    void OnApply() override {
        UINT terminations = 0;
        for (int channel = 0; channel < kChannels; ++channel)
            terminations |= static_cast<UINT>(Checked("chkChannel", channel)) << channel;
        const UINT power = Checked("chkPower") ? 1 : 0;
        for (auto [number, value] :
             {std::pair{kTerminationRegister, terminations}, std::pair{kPowerRegister, power}}) {
            const HXSTATUS status = hxDiagWriteReg(device_, number, value, kRegisterSize);
            if (status != HXNOERROR)
                ShowBox(StatusText(status), kWdmTitle);
        }
    }
};

}  // namespace

BOOL ShowMq5200Dialog(LPCSTR, std::uint32_t device, BOOL) {
    if (ui::Runtime::CurrentIfAny() == nullptr)
        return FALSE;
    Mq5200Dialog dialog(device);
    dialog.DoModal();
    return TRUE;
}

}  // namespace boardext::dialogs
