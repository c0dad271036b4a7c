// The server module of the spreadsheet application: Application, its Workbooks, each Workbook's
// sheets and their ranges, over WorkbookData written and read as .xlsx files.
#include <memory>
#include <string>
#include <vector>

#include "com/running_objects.h"
#include "com/runtime.h"
#include "com/server/automation_object.h"
#include "com/server/class_factory.h"
#include "spreadsheet/application.h"
#include "win32/exports.h"
#include "workbook_data.h"

namespace {

using namespace com::server;
namespace id = spreadsheet::dispid;
using spreadsheet::NamedRange;
using spreadsheet::WorkbookData;

constexpr DWORD kFacilityControl = 0x0A;
constexpr const char* kFirstSheet = "Sheet1";
// {5E2B8D14-C6A3-47F0-8B19-2D4E6A0C7F38}
const CLSID kApplicationClsid = {
    0x5e2b8d14u, 0xc6a3u, 0x47f0u, {0x8b, 0x19, 0x2d, 0x4e, 0x6a, 0x0c, 0x7f, 0x38}};

[[noreturn]] void RaiseApplication(const std::string& text) {
    Raise(MAKE_HRESULT(1, kFacilityControl, spreadsheet::kErrApplication), text);
}

[[noreturn]] void RaiseSubscript() {
    Raise(MAKE_HRESULT(1, kFacilityControl, spreadsheet::kErrSubscript), "Subscript out of range");
}

class Workbook;

// A block of cells of one sheet.
class Range final : public AutomationObject<Range> {
  public:
    static constexpr const char* kSource = "Range";
    Range(std::shared_ptr<WorkbookData> book, NamedRange cells)
        : book_(std::move(book)), cells_(cells) {}

    decltype(spreadsheet::Sheet::cells)& Cells() { return book_->sheets.at(cells_.sheet).cells; }

    std::string GetName() {
        for (const auto& [name, range] : book_->names)
            if (range == cells_)
                return name;
        return "";
    }
    void SetName(std::string name) {
        if (name.empty() || name.find_first_of(" !:$'\"") != std::string::npos)
            RaiseApplication("The name '" + name + "' is not valid.");
        book_->names[name] = cells_;
    }
    IDispatch* GetCells(LONG row, LONG column) {
        const std::int64_t r = static_cast<std::int64_t>(cells_.firstRow) + row - 1;
        const std::int64_t c = static_cast<std::int64_t>(cells_.firstColumn) + column - 1;
        if (row < 1 || column < 1 || r > spreadsheet::kMaxRows || c > spreadsheet::kMaxColumns)
            RaiseApplication("The cell lies outside the sheet.");
        NamedRange cell = cells_;
        cell.firstRow = cell.lastRow = static_cast<std::int32_t>(r);
        cell.firstColumn = cell.lastColumn = static_cast<std::int32_t>(c);
        return new Range(book_, cell);
    }
    double GetValue() {
        auto& cells = Cells();
        auto it = cells.find({cells_.firstRow, cells_.firstColumn});
        if (it == cells.end())
            return 0;
        if (const double* number = std::get_if<double>(&it->second))
            return *number;
        RaiseApplication("The cell holds a text.");
    }
    void SetValue(double value) {
        if (cells_.firstRow != cells_.lastRow || cells_.firstColumn != cells_.lastColumn)
            RaiseApplication("A value goes into one cell.");
        Cells()[{cells_.firstRow, cells_.firstColumn}] = value;
    }

    static const DispatchTable& Table() {
        static const DispatchTable table(
            IID_IDispatch, "Range",
            {
                ReadWrite<&Range::GetValue, &Range::SetValue>(id::Value, "Value"),
                ReadWrite<&Range::GetName, &Range::SetName>(id::Name, "Name"),
                ReadOnly<&Range::GetCells>(id::Cells, "Cells", {"row", "column"}),
            });
        return table;
    }

  private:
    std::shared_ptr<WorkbookData> book_;
    NamedRange cells_;
};

class Worksheet final : public AutomationObject<Worksheet> {
  public:
    static constexpr const char* kSource = "Worksheet";
    Worksheet(std::shared_ptr<WorkbookData> book, std::size_t sheet)
        : book_(std::move(book)), sheet_(sheet) {}

    std::string GetName() { return book_->sheets.at(sheet_).name; }
    IDispatch* GetColumns(LONG column) {
        if (column < 1 || column > spreadsheet::kMaxColumns)
            RaiseApplication("The column lies outside the sheet.");
        NamedRange range{sheet_, 1, static_cast<std::int32_t>(column), spreadsheet::kMaxRows,
                         static_cast<std::int32_t>(column)};
        return new Range(book_, range);
    }

    static const DispatchTable& Table() {
        static const DispatchTable table(
            IID_IDispatch, "Worksheet",
            {
                ReadOnly<&Worksheet::GetName>(id::Name, "Name"),
                ReadOnly<&Worksheet::GetColumns>(id::Columns, "Columns", {"index"}),
            });
        return table;
    }

  private:
    std::shared_ptr<WorkbookData> book_;
    std::size_t sheet_;
};

class Workbook final : public AutomationObject<Workbook> {
  public:
    static constexpr const char* kSource = "Workbook";
    Workbook(std::shared_ptr<WorkbookData> book, std::string path)
        : book_(std::move(book)), path_(std::move(path)) {}

    std::string GetFullName() { return path_; }
    IDispatch* GetSheets(LONG index) {
        if (index < 1 || static_cast<std::size_t>(index) > book_->sheets.size())
            RaiseSubscript();
        return new Worksheet(book_, static_cast<std::size_t>(index - 1));
    }
    void SaveAs(std::string path) {
        Write(path);
        path_ = std::move(path);
    }
    void Save() {
        if (path_.empty())
            RaiseApplication("The workbook has no file name yet.");
        Write(path_);
    }

    static const DispatchTable& Table() {
        static const DispatchTable table(
            IID_IDispatch, "Workbook",
            {
                ReadOnly<&Workbook::GetFullName>(id::FullName, "FullName"),
                ReadOnly<&Workbook::GetSheets>(id::Sheets, "Sheets", {"index"}),
                Method<&Workbook::SaveAs>(id::SaveAs, "SaveAs", {"filename"}),
                Method<&Workbook::Save>(id::Save, "Save"),
            });
        return table;
    }

  private:
    void Write(const std::string& path) {
        try {
            spreadsheet::WriteWorkbook(path, *book_);
        } catch (const spreadsheet::FileError& error) {
            RaiseApplication(error.what());
        }
    }
    std::shared_ptr<WorkbookData> book_;
    std::string path_;
};

class Workbooks final : public AutomationObject<Workbooks> {
  public:
    static constexpr const char* kSource = "Workbooks";

    IDispatch* Add() {
        auto book = std::make_shared<WorkbookData>();
        book->sheets.push_back({kFirstSheet, {}});
        return Keep(new Workbook(std::move(book), ""));
    }
    IDispatch* Open(std::string path) {
        std::shared_ptr<WorkbookData> book;
        try {
            book = std::make_shared<WorkbookData>(spreadsheet::ReadWorkbook(path));
        } catch (const spreadsheet::FileError& error) {
            RaiseApplication(error.what());
        }
        return Keep(new Workbook(std::move(book), path));
    }
    void Close() { open_.clear(); }
    LONG GetCount() { return static_cast<LONG>(open_.size()); }
    IDispatch* GetItem(LONG index) {
        if (index < 1 || static_cast<std::size_t>(index) > open_.size())
            RaiseSubscript();
        return open_[static_cast<std::size_t>(index - 1)].get()->NewReference();
    }

    static const DispatchTable& Table() {
        static const DispatchTable table(
            IID_IDispatch, "Workbooks",
            {
                Method<&Workbooks::Add>(id::Add, "Add"),
                Method<&Workbooks::Open>(id::Open, "Open", {"filename"}),
                Method<&Workbooks::Close>(id::Close, "Close"),
                ReadOnly<&Workbooks::GetCount>(id::Count, "Count"),
                ReadOnly<&Workbooks::GetItem>(id::Item, "Item", {"index"}),
            });
        return table;
    }

  private:
    // The collection keeps the workbook open; the caller gets the maker's reference.
    IDispatch* Keep(Workbook* workbook) {
        open_.emplace_back(workbook);
        return workbook;
    }
    std::vector<Ref<Workbook>> open_;
};

class Application final : public AutomationObject<Application> {
  public:
    static constexpr const char* kSource = "Excel.Application";
    Application() : books_(Ref<Workbooks>::Adopt(new Workbooks())) {
        // Registered without a reference of the table's own: the last client's release ends it.
        RegisterActiveObject(static_cast<IDispatch*>(this), kApplicationClsid, ACTIVEOBJECT_WEAK,
                             &token_);
    }
    ~Application() override { RevokeActiveObject(token_, nullptr); }

    IDispatch* GetWorkbooks() { return books_.get()->NewReference(); }

    static const DispatchTable& Table() {
        static const DispatchTable table(
            IID_IDispatch, "Application",
            {
                ReadOnly<&Application::GetWorkbooks>(id::Workbooks, "Workbooks"),
            });
        return table;
    }

  private:
    Ref<Workbooks> books_;
    DWORD token_ = 0;
};

const com::ClassRegistration kApplicationClass{.clsid = kApplicationClsid,
                                               .typeName = "Spreadsheet Application",
                                               .progId = spreadsheet::kApplicationProgId,
                                               .threadingModel = "Apartment"};

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (clsid != kApplicationClsid)
        return CLASS_E_CLASSNOTAVAILABLE;
    return MakeClassObject<Application>(riid, ppv);
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return ModuleCounts::CanUnloadNow();
}

HRESULT STDAPICALLTYPE DllRegisterServer() {
    static const char anchor = 0;
    return com::RegisterServerClass(kApplicationClass, com::ModulePathOf(&anchor));
}

HRESULT STDAPICALLTYPE DllUnregisterServer() {
    return com::UnregisterServerClass(kApplicationClass);
}

}  // namespace

MQ_EXPORTS_BEGIN
MQ_EXPORT_PLAIN(1, DllCanUnloadNow)
MQ_EXPORT_PLAIN(2, DllGetClassObject)
MQ_EXPORT_PLAIN(3, DllRegisterServer)
MQ_EXPORT_PLAIN(4, DllUnregisterServer)
MQ_EXPORTS_END
