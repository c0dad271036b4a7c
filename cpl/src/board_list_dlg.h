// The applet's main dialog (template 4000): every installed board with its model, driver,
// instance and serial number; "&Edit Name" renames the selected board through the API library
// and "&Advanced" opens its advanced-settings dialog from the board's extension library.
#pragma once

#include <memory>
#include <string>

#include "board_list_ctrl.h"
#include "ui/forms.h"
#include "win32/types.h"

namespace mqhxcpl {

inline constexpr char kEnumErrorTitle[] = "hxDaEnumError";
inline constexpr char kNoAdvancedSettingsText[] = "Board requires no advanced settings.";
inline constexpr char kNameInUseText[] = "Board Name Already In Use.";
inline constexpr char kNoSerialNumberText[] = "N/A";

// List columns.
inline constexpr int kColumnName = 0;
inline constexpr int kColumnModel = 1;
inline constexpr int kColumnDriver = 2;
inline constexpr int kColumnInstance = 3;
inline constexpr int kColumnSerial = 4;

// Images of the rows: an ordinary board, and one whose serial number is above 10.
inline constexpr int kImageBoard = 0;
inline constexpr int kImageNumberedBoard = 1;
inline constexpr DWORD kNumberedSerialAbove = 10;

class CBoardListDlg : public ui::Form {
  public:
    CBoardListDlg();
    ~CBoardListDlg() override;

    // Runs the dialog modally with the host's window as owner (nullptr: none).
    void DoModal(ui::Form* owner);

    bool ReadOnly() const { return readOnly_; }
    ui::ListView& List() const;

    // One board of the enumeration; 0 ends it.
    BOOL AddBoardRow(LPSTR boardName, LPSTR driverName, HKEY boardKey);

  protected:
    void Bind() override;

  private:
    void OnInitDialog();
    void RefreshBoardList();
    void OnSelectionChanged();
    void OnAdvanced();
    void OnEditName();
    bool IsBoardNameUnique(const std::string& name) const;
    void DisableBoardButtons();
    std::string ExtensionOf(int row) const;

    std::unique_ptr<CBoardListCtrl> list_;
    bool readOnly_ = false;
};

}  // namespace mqhxcpl
