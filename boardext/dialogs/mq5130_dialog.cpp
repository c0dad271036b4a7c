// The Mq5130 dialog "MQ5130 Series Control Panel": interrupt generation on the bits of banks 10
// and 11, input debouncing and whether the board's power stays on, kept in the board's hardware
// information block.
#include <cstring>

#include "board_dialog.h"
#include "dialog_entries.h"
#include "ui/dialog_units.h"

namespace boardext::dialogs {
namespace {

constexpr std::size_t kBlockSize = 128;
constexpr int kBits = 8;
constexpr int kBank11Shift = 8;
constexpr char kModelWord[] = "MQ5130";
constexpr char kCaption[] = "MQ5130 Series Control Panel";

// The dialog's words at the start of the block.
struct Settings {
    std::uint32_t interruptMask;  // bits 0-7 bank 10, 8-15 bank 11
    std::uint32_t debounce;
    std::uint32_t power;
};

ui::FormDesign Mq5130Design() {
    using ui::DialogItem;
    using ui::Kind;
    std::vector<ui::ControlDesign> controls = {
        DialogItem(Kind::Frame, "fraBank10", "Bank 10 Interrupt Generation", 7, 7, 164, 42),
        DialogItem(Kind::Frame, "fraBank11", "Bank 11 Interrupt Generation", 7, 53, 164, 42),
    };
    AddBitBoxes(controls, "chkBank10", "fraBank10", "BIT", 8, 12);  // 2000-2007
    AddBitBoxes(controls, "chkBank11", "fraBank11", "BIT", 8, 12);  // 2010-2017
    controls.push_back(DialogItem(Kind::CheckBox, "chkDebounce", "Debounce Inputs (5 ms)", 7, 100,
                                  110, 10));  // 2048
    controls.push_back(
        DialogItem(Kind::CheckBox, "chkPower", "Power Always On", 7, 113, 110, 10));  // 2049
    // The caption is set when the dialog opens.
    return DialogDesign("", 214, 148, std::move(controls));
}

class Mq5130Dialog : public BoardDialog {
  public:
    explicit Mq5130Dialog(HDEV device) : BoardDialog(Mq5130Design(), device) {}

  private:
    HXSTATUS OnOpen() override {
        SetCaption(kCaption);
        BYTE block[kBlockSize] = {};
        const HXSTATUS status = hxDaGetHardwareInfo(device_, nullptr, &wordA_, &wordB_, &wordC_,
                                                    &serialNumber_, nullptr, block);
        if (status != HXNOERROR) {
            ShowBox(StatusText(status), kErrorTitle);
            ShowBox(DeviceInUseText(kModelWord), kWdmTitle);
            return status;
        }
        Settings settings;
        std::memcpy(&settings, block, sizeof settings);
        for (int bit = 0; bit < kBits; ++bit) {
            SetChecked("chkBank10", (settings.interruptMask >> bit) & 1u, bit);
            SetChecked("chkBank11", (settings.interruptMask >> (bit + kBank11Shift)) & 1u, bit);
        }
        SetChecked("chkDebounce", settings.debounce != 0);
        SetChecked("chkPower", settings.power != 0);
        return HXNOERROR;
    }

    void OnApply() override {
        Settings settings{};
        for (int bit = 0; bit < kBits; ++bit) {
            settings.interruptMask |= static_cast<std::uint32_t>(Checked("chkBank10", bit)) << bit;
            settings.interruptMask |= static_cast<std::uint32_t>(Checked("chkBank11", bit))
                                      << (bit + kBank11Shift);
        }
        settings.debounce = Checked("chkDebounce") ? 1 : 0;
        settings.power = Checked("chkPower") ? 1 : 0;
        BYTE block[kBlockSize] = {};
        std::memcpy(block, &settings, sizeof settings);
        // The identity words and the serial number go back as they were read.
        const HXSTATUS status =
            hxDaSetHardwareInfo(device_, wordA_, wordB_, wordC_, serialNumber_, 0, block);
        if (status != HXNOERROR)
            ShowBox(StatusText(status), kErrorTitle);
    }

    WORD wordA_ = 0, wordB_ = 0, wordC_ = 0;
    UINT serialNumber_ = 0;
};

}  // namespace

BOOL ShowMq5130Dialog(LPCSTR, std::uint32_t device, BOOL) {
    if (ui::Runtime::CurrentIfAny() == nullptr)
        return FALSE;
    Mq5130Dialog dialog(device);
    dialog.DoModal();
    return TRUE;
}

}  // namespace boardext::dialogs
