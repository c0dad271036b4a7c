// The rename dialog (template 4006): the board's current name, read only, and the new name. Its
// OK refuses a name that is too long or holds a delimiter and keeps the dialog open.
#pragma once

#include <string>

#include "ui/forms.h"

namespace mqhxcpl {

inline constexpr char kNameTooLongFormat[] = "Board name is limited to %d characters";
inline constexpr char kInvalidNameText[] =
    "Invalid Board Name!\nNo '<' '>' ',' '.' ''' or Spaces\nPlease use ALPHANUMERICS";

class CEditBoardNameDlg : public ui::Form {
  public:
    // Both names start as the board's current name.
    explicit CEditBoardNameDlg(const std::string& currentName);

    // Runs the dialog modally; true when it closed with OK.
    bool DoModal(ui::Form* owner);

    const std::string& OldName() const { return oldName_; }
    const std::string& NewName() const { return newName_; }

  protected:
    void Bind() override;

  private:
    void OnOK();

    std::string oldName_;
    std::string newName_;
    bool accepted_ = false;
};

}  // namespace mqhxcpl
