// The spreadsheet application made by ProgID and bound late: workbooks added, written through
// column ranges and saved as .xlsx (read back here with the unzip tool), opened again and
// changed, the running instance found through the running-object table, and the failures.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "registry/testing.h"
#include "spreadsheet/application.h"
#include "ui/com_hosting.h"
#include "uilang/runtime_error.h"

namespace {

namespace fs = std::filesystem;
namespace id = spreadsheet::dispid;
using uilang::Object;
using uilang::Value;

constexpr std::int32_t kErrCannotCreateObject = 429;
constexpr std::size_t kReadChunk = 4096;

std::int32_t ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const uilang::RuntimeError& error) {
        return error.Number();
    }
    return 0;
}

Object Member(const Object& object, std::int32_t dispid, const uilang::Arguments& index = {}) {
    return uilang::ToObject(object->Get(dispid, index));
}

// One part of a zip file as the unzip tool reads it; empty when it has none.
std::string ZipPart(const fs::path& file, const std::string& part) {
    std::string command = "unzip -p '" + file.string() + "' '" + part + "' 2>/dev/null";
    std::string text;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return text;
    char chunk[kReadChunk];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
        text.append(chunk, got);
    ::pclose(pipe);
    return text;
}

class SpreadsheetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(ui::RegisterServerModule(spreadsheet::kModuleName));
        files_ = fs::temp_directory_path() / ("sheet-" + std::to_string(::getpid()));
        fs::create_directories(files_);
    }
    void TearDown() override { fs::remove_all(files_); }
    // Cell (row, 1) of column `column` of the workbook's first sheet.
    Object Cell(const Object& book, std::int32_t column, std::int32_t row) {
        Object sheet = Member(book, id::Sheets, {Value{std::int16_t{1}}});
        Object range = Member(sheet, id::Columns, {Value{column}});
        return Member(range, id::Cells, {Value{row}, Value{std::int32_t{1}}});
    }
    void Name(const Object& book, std::int32_t column, const std::string& name) {
        Object sheet = Member(book, id::Sheets, {Value{std::int16_t{1}}});
        Member(sheet, id::Columns, {Value{column}})->Put(id::Name, Value{name});
    }

    registry::ScopedMachine machine_;
    fs::path files_;
};

TEST_F(SpreadsheetTest, AnAddedWorkbookSavedAsAFileHoldsTheCellsAndColumnNamesWritten) {
    Object app = ui::CreateObject(spreadsheet::kApplicationProgId);
    Object books = Member(app, id::Workbooks);
    Object book = uilang::ToObject(books->Call(id::Add, {}));
    fs::path file = files_ / "chart.xls";
    book->Call(id::SaveAs, {Value{file.string()}});
    EXPECT_EQ(uilang::ToText(book->Get(id::FullName, {})), file.string());
    Name(book, 1, "Channel0");
    Name(book, 2, "Channel3");
    Cell(book, 1, 1)->Put(id::Value, Value{1.5f});
    Cell(book, 2, 1)->Put(id::Value, Value{-0.25});
    Cell(book, 1, 3)->Put(id::Value, Value{2.0});
    book->Call(id::Save, {});

    std::string sheet = ZipPart(file, "xl/worksheets/sheet1.xml");
    EXPECT_NE(sheet.find("<c r=\"A1\""), std::string::npos) << sheet;
    EXPECT_NE(sheet.find("<v>1.5</v>"), std::string::npos) << sheet;
    EXPECT_NE(sheet.find("<c r=\"B1\""), std::string::npos);
    EXPECT_NE(sheet.find("<v>-0.25</v>"), std::string::npos);
    EXPECT_NE(sheet.find("<c r=\"A3\""), std::string::npos);
    EXPECT_EQ(sheet.find("<c r=\"A2\""), std::string::npos);  // nothing written there
    std::string workbook = ZipPart(file, "xl/workbook.xml");
    EXPECT_NE(workbook.find("<definedName name=\"Channel0\">Sheet1!$A:$A</definedName>"),
              std::string::npos)
        << workbook;
    EXPECT_NE(workbook.find("<definedName name=\"Channel3\">Sheet1!$B:$B</definedName>"),
              std::string::npos);
}

TEST_F(SpreadsheetTest, AnOpenedWorkbookKeepsWhatItHeldAndTakesNewCellsOverTheOld) {
    fs::path file = files_ / "kept.xlsx";
    {
        Object app = ui::CreateObject(spreadsheet::kApplicationProgId);
        Object book = uilang::ToObject(Member(app, id::Workbooks)->Call(id::Add, {}));
        Name(book, 1, "Channel0");
        Cell(book, 1, 1)->Put(id::Value, Value{1.0});
        Cell(book, 1, 2)->Put(id::Value, Value{2.0});
        Cell(book, 3, 5)->Put(id::Value, Value{7.0});
        book->Call(id::SaveAs, {Value{file.string()}});
    }
    Object app = ui::CreateObject(spreadsheet::kApplicationProgId);
    Object books = Member(app, id::Workbooks);
    Object book = uilang::ToObject(books->Call(id::Open, {Value{file.string()}}));
    EXPECT_EQ(uilang::ToLong(books->Get(id::Count, {})), 1);
    EXPECT_EQ(uilang::ToDouble(Cell(book, 1, 2)->Get(id::Value, {})), 2.0);
    Object sheet = Member(book, id::Sheets, {Value{std::int16_t{1}}});
    EXPECT_EQ(uilang::ToText(Member(sheet, id::Columns, {Value{1}})->Get(id::Name, {})),
              "Channel0");
    Cell(book, 1, 1)->Put(id::Value, Value{-3.5});
    Name(book, 2, "Channel1");
    book->Call(id::Save, {});
    books->Call(id::Close, {});
    EXPECT_EQ(uilang::ToLong(books->Get(id::Count, {})), 0);

    std::string xml = ZipPart(file, "xl/worksheets/sheet1.xml");
    EXPECT_NE(xml.find("<v>-3.5</v>"), std::string::npos) << xml;
    EXPECT_EQ(xml.find("<v>1</v>"), std::string::npos);  // the old A1
    EXPECT_NE(xml.find("<c r=\"A2\""), std::string::npos);
    EXPECT_NE(xml.find("<c r=\"C5\""), std::string::npos);
    std::string workbook = ZipPart(file, "xl/workbook.xml");
    EXPECT_NE(workbook.find("Channel0"), std::string::npos);
    EXPECT_NE(workbook.find("Channel1"), std::string::npos);
}

TEST_F(SpreadsheetTest, TheRunningInstanceIsFoundUntilItsLastReferenceGoes) {
    EXPECT_EQ(ErrorOf([] { ui::GetObject(spreadsheet::kApplicationProgId); }),
              kErrCannotCreateObject);
    Object app = ui::CreateObject(spreadsheet::kApplicationProgId);
    Member(app, id::Workbooks)->Call(id::Add, {});
    Object attached = ui::GetObject(spreadsheet::kApplicationProgId);
    Object books = Member(attached, id::Workbooks);
    EXPECT_EQ(uilang::ToLong(books->Get(id::Count, {})), 1);  // the same instance's workbook
    books->Call(id::Close, {});
    EXPECT_EQ(uilang::ToLong(Member(app, id::Workbooks)->Get(id::Count, {})), 0);
    books.reset();
    app.reset();
    attached.reset();
    EXPECT_EQ(ErrorOf([] { ui::GetObject(spreadsheet::kApplicationProgId); }),
              kErrCannotCreateObject);
}

TEST_F(SpreadsheetTest, FailuresOfTheApplicationRaiseItsErrors) {
    Object app = ui::CreateObject(spreadsheet::kApplicationProgId);
    Object books = Member(app, id::Workbooks);
    Object book = uilang::ToObject(books->Call(id::Add, {}));
    fs::path text = files_ / "notes.xls";
    std::ofstream(text) << "not a workbook";
    fs::path truncated = files_ / "truncated.xlsx";
    book->Call(id::SaveAs, {Value{truncated.string()}});
    fs::resize_file(truncated, fs::file_size(truncated) / 2);

    struct Case {
        const char* what;
        std::function<void()> action;
        std::int32_t error;
    };
    const Case cases[] = {
        {"save before a name",
         [&] {
             books->Call(id::Add, {});
             Member(books, id::Item, {Value{2}})->Call(id::Save, {});
         },
         spreadsheet::kErrApplication},
        {"second sheet", [&] { Member(book, id::Sheets, {Value{std::int16_t{2}}}); },
         spreadsheet::kErrSubscript},
        {"row 0", [&] { Cell(book, 1, 0); }, spreadsheet::kErrApplication},
        {"row past the sheet", [&] { Cell(book, 1, spreadsheet::kMaxRows + 1); },
         spreadsheet::kErrApplication},
        {"column past the sheet", [&] { Cell(book, spreadsheet::kMaxColumns + 1, 1); },
         spreadsheet::kErrApplication},
        {"value into a column",
         [&] {
             Object sheet = Member(book, id::Sheets, {Value{std::int16_t{1}}});
             Member(sheet, id::Columns, {Value{1}})->Put(id::Value, Value{1.0});
         },
         spreadsheet::kErrApplication},
        {"open a text file", [&] { books->Call(id::Open, {Value{text.string()}}); },
         spreadsheet::kErrApplication},
        {"open a truncated workbook", [&] { books->Call(id::Open, {Value{truncated.string()}}); },
         spreadsheet::kErrApplication},
        {"open no file", [&] { books->Call(id::Open, {Value{(files_ / "none.xlsx").string()}}); },
         spreadsheet::kErrApplication},
        {"save into no folder",
         [&] { book->Call(id::SaveAs, {Value{(files_ / "none" / "a.xlsx").string()}}); },
         spreadsheet::kErrApplication},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ErrorOf(c.action), c.error) << c.what;
}

TEST_F(SpreadsheetTest, AWorkbookDamagedAnywhereOpensOrRaisesButNeverReadsAmiss) {
    Object app = ui::CreateObject(spreadsheet::kApplicationProgId);
    Object books = Member(app, id::Workbooks);
    Object book = uilang::ToObject(books->Call(id::Add, {}));
    Name(book, 1, "Channel0");
    for (std::int32_t row = 1; row <= 20; ++row)
        Cell(book, 1, row)->Put(id::Value, Value{row * 0.5});
    fs::path good = files_ / "good.xlsx";
    book->Call(id::SaveAs, {Value{good.string()}});
    std::string bytes;
    {
        std::ifstream in(good, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    ASSERT_GT(bytes.size(), 1000u);
    constexpr std::size_t kStride = 37;
    fs::path damaged = files_ / "damaged.xlsx";
    int opened = 0, refused = 0;
    for (std::size_t at = 0; at < bytes.size(); at += kStride) {
        for (int kind = 0; kind < 2; ++kind) {
            std::string copy = kind == 0 ? bytes.substr(0, at) : bytes;
            if (kind == 1)
                copy[at] = static_cast<char>(copy[at] ^ 0x5A);
            std::ofstream(damaged, std::ios::binary) << copy;
            std::int32_t error = ErrorOf([&] { books->Call(id::Open, {Value{damaged.string()}}); });
            EXPECT_TRUE(error == 0 || error == spreadsheet::kErrApplication) << at << " " << kind;
            (error == 0 ? opened : refused) += 1;
        }
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(opened, 0);  // bytes that no part depends on (a zip comment, a date) change nothing
    books->Call(id::Close, {});
}

}  // namespace
