// What a workbook holds: its sheets' cells (numbers and texts) and its workbook-level names,
// with the .xlsx file's writer and reader.
#pragma once

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace spreadsheet {

using CellValue = std::variant<double, std::string>;

struct Sheet {
    std::string name;
    // (row, column), both 1-based.
    std::map<std::pair<std::int32_t, std::int32_t>, CellValue> cells;
};

// A name refers to a block of cells of one sheet, all 1-based and inclusive.
struct NamedRange {
    std::size_t sheet = 0;
    std::int32_t firstRow = 1, firstColumn = 1, lastRow = 1, lastColumn = 1;
    bool operator==(const NamedRange&) const = default;
};

struct WorkbookData {
    std::vector<Sheet> sheets;
    std::map<std::string, NamedRange> names;
};

// A workbook file that cannot be written or read; the text says what failed.
class FileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// "A" for column 1, "Z" for 26, "AA" for 27.
std::string ColumnLetters(std::int32_t column);
// The reference text of a named block: Sheet1!$A:$A for whole columns, Sheet1!$B$2:$C$3 else.
std::string ReferenceText(const WorkbookData& book, const NamedRange& range);

void WriteWorkbook(const std::string& path, const WorkbookData& book);
WorkbookData ReadWorkbook(const std::string& path);

}  // namespace spreadsheet
