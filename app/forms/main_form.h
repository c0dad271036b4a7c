// The main window: the MDI frame with its menus, toolbar and status bar. Its load step restores
// the stored placement and checks that a board is installed (ending the program when none is);
// its unload step stores the placement unless the window is minimized.
#pragma once

#include <memory>

#include "ui/forms.h"

namespace larkspur {

inline constexpr const char* kNoBoards = "No MQ boards available";
inline constexpr const char* kNoHelp =
    "Unable to display Help Contents. There is no Help associated with this project.";

class MainForm : public ui::Form {
  public:
    MainForm();

  protected:
    void Bind() override;

  private:
    void LoadStep();
    void UnloadStep();
    void InitMQBoards();
    void FlipView(const char* item, bool toolbar);
    void Help(std::uint32_t command);
    void ToolbarButton(const std::string& key);
};

// The main-window object: the window the start routine made.
MainForm* MainWindow();
void SetMainWindow(MainForm* form);

}  // namespace larkspur
