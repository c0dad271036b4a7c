// The Device page: the board by name, from the process-wide board list, and the subsystem by its
// index in the control's subsystem table.
#include "board_list.h"
#include "pages/page_class.h"
#include "pages/page_pattern.h"

namespace mqacq32::pages {
namespace {

constexpr int kBoardCombo = 205;
constexpr int kSubsystemCombo = 206;

ui::PageTemplate DeviceTemplate() {
    using ui::Kind;
    return {kPageWidth,
            kPageHeight,
            {ui::DialogItem(Kind::Label, "lblBoard", "Board:  ", 10, 22, 60, 8),
             ui::PageItem(Kind::ComboBox, kBoardCombo, "", 75, 20, 160, 80),
             ui::DialogItem(Kind::Label, "lblSubsystem", "Subsystem:  ", 10, 52, 60, 8),
             ui::PageItem(Kind::ComboBox, kSubsystemCombo, "", 75, 50, 160, 80)}};
}

class DevicePage final : public AcqPage {
  public:
    DevicePage() : AcqPage(kDevicePage, DeviceTemplate()) {}

  protected:
    void DoDataExchange(ui::DataExchange& dx) override {
        dx.Property("Board", board_, kBoardCombo);
        dx.Property("SubSystem", subsystem_, kSubsystemCombo);
        if (!dx.Saving()) {
            FillBoards();
            FillSubsystems();
        }
        dx.ComboText(kBoardCombo, board_);
        dx.ComboIndex(kSubsystemCombo, subsystem_);
    }

  private:
    void FillBoards() {
        ui::ComboBox& combo = Combo(kBoardCombo);
        combo.Clear();
        for (int i = 0; i < board_list::Count(); ++i)
            combo.AddItem(board_list::Name(i));
    }
    void FillSubsystems() {
        ui::ComboBox& combo = Combo(kSubsystemCombo);
        combo.Clear();
        const AcqControl* control = Control();
        if (control == nullptr || ControlAccess::Device(*control) == 0) {
            combo.SetEnabled(false);
            return;
        }
        combo.SetEnabled(true);
        for (const SubsystemEntry& entry : ControlAccess::Subsystems(*control))
            combo.AddItem(entry.description);
    }

    std::string board_;
    std::int16_t subsystem_ = -1;
};

[[maybe_unused]] const bool kAdded = AddPage<DevicePage>(kDevicePage);

}  // namespace
}  // namespace mqacq32::pages
