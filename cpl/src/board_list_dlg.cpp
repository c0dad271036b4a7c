#include "board_list_dlg.h"

#include <cstdio>

#include "board_names.h"
#include "boardext/extension_interface.h"
#include "edit_board_name_dlg.h"
#include "hxdaapi32.h"
#include "icons.h"
#include "module_strings.h"
#include "panel_applet.h"
#include "ui/dialog_units.h"
#include "ui/runtime.h"
#include "win32/debug.h"
#include "win32/module.h"
#include "win32/registry.h"

namespace mqhxcpl {
namespace {

constexpr UINT kErrorTextSize = 256;
constexpr DWORD kModelNameSize = 128;

// The titles of columns 1-4; their trailing blanks widen the columns.
constexpr const char* kColumnTitles[] = {"Model#      ", "Driver      ", "Instance#   ",
                                         "ID          "};

ui::FormDesign BoardListDesign() {
    using ui::DialogItem;
    using ui::Kind;
    ui::FormDesign form;
    form.name = "dlgBoardList";  // template 4000
    form.caption = "Data Acqusition Control Panel";
    form.width = ui::DluX(364);
    form.height = ui::DluY(170);
    ui::ControlDesign advanced =
        DialogItem(Kind::CommandButton, "cmdAdvanced", "&Advanced", 7, 149, 50, 14);  // 1
    ui::ControlDesign close =
        DialogItem(Kind::CommandButton, "cmdClose", "&Close", 307, 149, 50, 14);  // 2
    close.isCancel = true;
    ui::ControlDesign editName =
        DialogItem(Kind::CommandButton, "cmdEditName", "&Edit Name", 64, 149, 50, 14);  // 4001
    editName.isDefault = true;
    form.controls = {
        DialogItem(Kind::ListView, "lvwBoards", "", 7, 7, 350, 134),  // 4004
        advanced,
        editName,
        close,
    };
    return form;
}

BOOL CALLBACK EnumBoardsCallback(LPSTR boardName, LPSTR driverName, HKEY boardKey, LPARAM user) {
    return reinterpret_cast<CBoardListDlg*>(user)->AddBoardRow(boardName, driverName, boardKey);
}

bool ReadNumber(HKEY key, const char* name, DWORD& value) {
    DWORD size = sizeof value;
    DWORD type = 0;
    return RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
               ERROR_SUCCESS &&
           size == sizeof value;
}

std::string StatusText(HXSTATUS status) {
    char text[kErrorTextSize] = "";
    hxDaGetErrorString(status, text, kErrorTextSize);
    return text;
}

std::string Decimal(DWORD value) {
    return std::to_string(value);
}

// The extension library's advanced-settings entry, or nullptr.
MainDlgProc MainDialogOf(HMODULE library) {
    return library != nullptr
               ? reinterpret_cast<MainDlgProc>(GetProcAddress(library, kMainDialogName))
               : nullptr;
}

// Whether a board other than `self` is named `name`, among every board the library enumerates: the
// list ends at a board whose values cannot be read, so the boards after it are not in it, and a
// second board of one name could no longer be opened by it.
bool AnotherBoardIsNamed(const std::string& name, const std::string& self) {
    struct Search {
        const std::string& name;
        const std::string& self;
        bool found = false;
    } search{name, self};
    hxDaEnumBoards(
        [](LPSTR board, LPSTR, LPARAM user) -> BOOL {
            auto* s = reinterpret_cast<Search*>(user);
            if (board == nullptr || SameBoardName(board, s->self) || !SameBoardName(board, s->name))
                return TRUE;
            s->found = true;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

CBoardListDlg::CBoardListDlg() : ui::Form(BoardListDesign()) {}

CBoardListDlg::~CBoardListDlg() = default;

ui::ListView& CBoardListDlg::List() const {
    return Get<ui::ListView>("lvwBoards");
}

void CBoardListDlg::DoModal(ui::Form* owner) {
    ShowModal(owner);
}

void CBoardListDlg::Bind() {
    list_ = std::make_unique<CBoardListCtrl>(List());
    onLoad = [this] { OnInitDialog(); };
    List().onItemChanged = [this] { OnSelectionChanged(); };
    Get<ui::CommandButton>("cmdAdvanced").onClick = [this] { OnAdvanced(); };
    Get<ui::CommandButton>("cmdEditName").onClick = [this] { OnEditName(); };
    Get<ui::CommandButton>("cmdClose").onClick = [this] { Unload(); };
}

void CBoardListDlg::OnInitDialog() {
    List().SetSmallImages({IconImage(kIconBoard), IconImage(kIconNumberedBoard)});
    list_->AddColumn(LoadModuleString(kIdsNameColumn), kColumnName);
    for (int column = kColumnModel; column <= kColumnSerial; ++column)
        list_->AddColumn(kColumnTitles[column - kColumnModel], column);
    RefreshBoardList();
    if (readOnly_)
        ui::Runtime::Current().MsgBox(LoadModuleString(kIdsReadOnlyDatabase), ui::kMbExclamation,
                                      kModuleAppName);
    DisableBoardButtons();
}

void CBoardListDlg::RefreshBoardList() {
    List().DeleteAllItems();
    const HXSTATUS status = hxDaEnumBoardsEx(EnumBoardsCallback, reinterpret_cast<LPARAM>(this));
    if (status != HXNOERROR)
        ui::Runtime::Current().MsgBox(StatusText(status), ui::kMbOkOnly, kEnumErrorTitle);
}

BOOL CBoardListDlg::AddBoardRow(LPSTR boardName, LPSTR driverName, HKEY boardKey) {
    if (boardName == nullptr || boardName[0] == '\0')
        return FALSE;
    HKEY key = nullptr;
    if (RegOpenKeyExA(boardKey, nullptr, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        OutputDebugStringA("Failed to Open Hive key.... trying read only...\n");
        if (RegOpenKeyExA(boardKey, nullptr, 0, KEY_READ, &key) != ERROR_SUCCESS) {
            OutputDebugStringA("Failed to Open Hive key read only!\n");
            return FALSE;
        }
        readOnly_ = true;
    }
    char model[kModelNameSize] = "";
    DWORD size = sizeof model;
    DWORD type = 0;
    if (RegQueryValueExA(key, "BoardModelName", nullptr, &type, reinterpret_cast<BYTE*>(model),
                         &size) != ERROR_SUCCESS) {
        OutputDebugStringA("Failed to Read Board Model Name from Hive....\n");
        RegCloseKey(key);
        return FALSE;
    }
    model[kModelNameSize - 1] = '\0';
    DWORD serial = 0;
    if (!ReadNumber(key, "SerialNumber", serial)) {
        OutputDebugStringA("Failed to Read Board Serial Number from Hive....\n");
        RegCloseKey(key);
        return FALSE;
    }
    DWORD instance = 0;
    if (!ReadNumber(key, "DeviceInstanceNumber", instance)) {
        OutputDebugStringA("Failed to Read Instance Number from Hive....\n");
        instance = 0;
    }
    // Rows go in at the top: the list shows the boards in the reverse order of enumeration.
    const int row = 0;
    list_->SetItem(row, kColumnName, boardName,
                   serial > kNumberedSerialAbove ? kImageNumberedBoard : kImageBoard);
    list_->SetItem(row, kColumnModel, model);
    list_->SetItem(row, kColumnDriver, driverName != nullptr ? driverName : "");
    list_->SetItem(row, kColumnInstance, Decimal(instance));
    // Serial numbers are unsigned: one of 2^31 or more shows as itself, not as a negative number.
    list_->SetItem(row, kColumnSerial, serial == 0 ? kNoSerialNumberText : Decimal(serial));
    RegCloseKey(key);
    return TRUE;
}

std::string CBoardListDlg::ExtensionOf(int row) const {
    return List().ItemText(row, kColumnDriver) + ".dll";
}

void CBoardListDlg::DisableBoardButtons() {
    Find("cmdAdvanced").SetEnabled(false);
    Find("cmdEditName").SetEnabled(false);
}

void CBoardListDlg::OnSelectionChanged() {
    const int row = List().SelectedRow();
    if (row < 0) {
        DisableBoardButtons();
        return;
    }
    HMODULE library = LoadLibraryA(ExtensionOf(row).c_str());
    const bool advanced = MainDialogOf(library) != nullptr;
    if (library != nullptr)
        FreeLibrary(library);
    Find("cmdAdvanced").SetEnabled(advanced);
    Find("cmdEditName").SetEnabled(!readOnly_);
}

// The dialog's OK command: it never closes the dialog.
void CBoardListDlg::OnAdvanced() {
    const int row = List().SelectedRow();
    if (row < 0)
        return;
    ui::Runtime& runtime = ui::Runtime::Current();
    HMODULE library = LoadLibraryA(ExtensionOf(row).c_str());
    MainDlgProc mainDialog = MainDialogOf(library);
    if (mainDialog == nullptr) {
        if (library != nullptr)
            FreeLibrary(library);
        runtime.MsgBox(kNoAdvancedSettingsText, ui::kMbOkOnly, kModuleAppName);
        return;
    }
    const std::string board = List().ItemText(row, kColumnName);
    HDEV device = 0;
    const HXSTATUS status = hxDaInitialize(board.c_str(), &device);
    if (status != HXNOERROR || device == 0) {
        runtime.MsgBox(StatusText(status), ui::kMbOkOnly, kModuleAppName);
        FreeLibrary(library);
        return;
    }
    SetEnabled(false);
    mainDialog(board.c_str(), device);  // its result is not used
    SetEnabled(true);
    SetFocus();
    FreeLibrary(library);
    hxDaTerminate(device);
    List().SetFocus();
}

void CBoardListDlg::OnEditName() {
    const int row = List().SelectedRow();
    if (row < 0)
        return;
    CEditBoardNameDlg dialog(List().ItemText(row, kColumnName));
    if (dialog.DoModal(this)) {
        if (!IsBoardNameUnique(dialog.NewName())) {
            ui::Runtime::Current().MsgBox(kNameInUseText, ui::kMbOkOnly, kModuleAppName);
        } else {
            List().SetItemText(row, kColumnName, dialog.NewName());
            hxDaModifyHalcyonBoardName(dialog.OldName().c_str(), dialog.NewName().c_str());
            RefreshBoardList();
        }
    }
    DisableBoardButtons();
}

// Unique when no row holds the name (without regard to case) or the row that does is the
// selected one, and no board left out of the list bears it.
bool CBoardListDlg::IsBoardNameUnique(const std::string& name) const {
    const int selected = List().SelectedRow();
    const int found = List().FindItem(name);
    if (found >= 0 && found != selected)
        return false;
    return selected < 0 || !AnotherBoardIsNamed(name, List().ItemText(selected, kColumnName));
}

}  // namespace mqhxcpl
