// The spreadsheet application's automation server as this machine has it: a server module
// registered by ProgID, whose workbooks are .xlsx files. One application object runs per
// process while anything holds it: it is registered in the running-object table from its
// creation until its last reference goes, so a client attaches to it with GetObject.
//
// Application
//   Workbooks -> the collection of open workbooks.
// Workbooks
//   Add -> a new workbook of one empty sheet "Sheet1", not yet saved (no file name).
//   Open(path) -> the workbook read from an .xlsx file: its sheets' numbers and texts and its
//     names; raises 1004 when the file cannot be read as a workbook.
//   Close: closes every open workbook without saving. Count, Item(i) (1-based).
// Workbook
//   SaveAs(path): writes the workbook to the path and names it so. Save: writes it to its path;
//   raises 1004 for a workbook never saved. Sheets(i) -> the i-th worksheet (1-based; 9 beyond).
//   FullName: the path, empty before the first SaveAs.
// Worksheet
//   Columns(i) -> the range of column i (1-based, up to 16384). Name.
// Range
//   Name: put gives the range a workbook-level name (a name used before moves to it); get
//   answers the range's name, empty when it has none. Cells(row, column) -> the one cell at that
//   place counted from the range's first cell (1-based). Value (the default member): a cell's
//   number or text; put on a range of more than one cell raises 1004.
//
// A failure of the application raises 1004 with a description of what failed.
#pragma once

#include <cstdint>

namespace spreadsheet {

inline constexpr const char* kApplicationProgId = "Excel.Application";
inline constexpr const char* kModuleName = "spreadsheet.dll";

inline constexpr std::int32_t kErrApplication = 1004;
inline constexpr std::int32_t kErrSubscript = 9;

inline constexpr std::int32_t kMaxRows = 1048576;
inline constexpr std::int32_t kMaxColumns = 16384;

namespace dispid {
inline constexpr std::int32_t Value = 0;  // default member of a range
inline constexpr std::int32_t Name = 110;
inline constexpr std::int32_t Cells = 238;
inline constexpr std::int32_t Columns = 241;
inline constexpr std::int32_t Save = 283;
inline constexpr std::int32_t SaveAs = 284;
inline constexpr std::int32_t Sheets = 485;
inline constexpr std::int32_t Workbooks = 572;
// Members of the workbook collection.
inline constexpr std::int32_t Add = 1;
inline constexpr std::int32_t Open = 2;
inline constexpr std::int32_t Close = 3;
inline constexpr std::int32_t Count = 4;
inline constexpr std::int32_t Item = 5;
inline constexpr std::int32_t FullName = 6;
}  // namespace dispid

}  // namespace spreadsheet
