// Writes a workbook as .xlsx through libxlsxwriter.
#include <xlsxwriter.h>

#include "spreadsheet/application.h"
#include "workbook_data.h"

namespace spreadsheet {

std::string ColumnLetters(std::int32_t column) {
    constexpr int kLetters = 26;
    std::string letters;
    while (column > 0) {
        int digit = (column - 1) % kLetters;
        letters.insert(letters.begin(), static_cast<char>('A' + digit));
        column = (column - 1) / kLetters;
    }
    return letters;
}

std::string ReferenceText(const WorkbookData& book, const NamedRange& range) {
    std::string sheet = book.sheets.at(range.sheet).name;
    if (range.firstRow == 1 && range.lastRow == kMaxRows)
        return sheet + "!$" + ColumnLetters(range.firstColumn) + ":$" +
               ColumnLetters(range.lastColumn);
    auto cell = [](std::int32_t row, std::int32_t column) {
        return "$" + ColumnLetters(column) + "$" + std::to_string(row);
    };
    std::string first = cell(range.firstRow, range.firstColumn);
    if (range.firstRow == range.lastRow && range.firstColumn == range.lastColumn)
        return sheet + "!" + first;
    return sheet + "!" + first + ":" + cell(range.lastRow, range.lastColumn);
}

void WriteWorkbook(const std::string& path, const WorkbookData& book) {
    lxw_workbook* workbook = workbook_new(path.c_str());
    if (workbook == nullptr)
        throw FileError("Cannot access '" + path + "'.");
    for (const Sheet& sheet : book.sheets) {
        lxw_worksheet* worksheet = workbook_add_worksheet(workbook, sheet.name.c_str());
        if (worksheet == nullptr) {
            workbook_close(workbook);
            throw FileError("Cannot add the sheet '" + sheet.name + "'.");
        }
        for (const auto& [place, value] : sheet.cells) {
            auto row = static_cast<lxw_row_t>(place.first - 1);
            auto column = static_cast<lxw_col_t>(place.second - 1);
            if (const double* number = std::get_if<double>(&value))
                worksheet_write_number(worksheet, row, column, *number, nullptr);
            else
                worksheet_write_string(worksheet, row, column, std::get<std::string>(value).c_str(),
                                       nullptr);
        }
    }
    for (const auto& [name, range] : book.names) {
        std::string formula = "=" + ReferenceText(book, range);
        workbook_define_name(workbook, name.c_str(), formula.c_str());
    }
    lxw_error status = workbook_close(workbook);
    if (status != LXW_NO_ERROR)
        throw FileError("Cannot save '" + path + "': " + lxw_strerror(status));
}

}  // namespace spreadsheet
