// The strip chart's spreadsheet export: the record store into the first sheet of a workbook,
// one column per listed channel (named "Channel" and the channel), one row per tick.
#include <vector>

#include "forms/chart_form.h"
#include "scripting/file_system.h"
#include "spreadsheet/application.h"
#include "ui/com_hosting.h"
#include "ui/runtime.h"
#include "uilang/runtime_error.h"

namespace larkspur {
namespace {

using uilang::Value;
namespace xlid = spreadsheet::dispid;

constexpr std::int32_t kFlagHideReadOnly = 4;
constexpr const char* kWorkbookFilter = "Excel Files (*.xls)|*.xls";
constexpr const char* kNoApplication = "Excel file support not available.\r\nExcel not loaded.";
constexpr const char* kTitle = "Strip Chart";

uilang::Object Member(const uilang::Object& object, std::int32_t dispid,
                      const uilang::Arguments& index = {}) {
    return uilang::ToObject(object->Get(dispid, index));
}

}  // namespace

void ChartForm::ExportClick() {
    auto& start = Get<ui::CommandButton>("cmdStart");
    start.SetEnabled(false);
    excel_.reset();
    workbook_.reset();
    try {
        excel_ = ui::GetObject(spreadsheet::kApplicationProgId);
    } catch (const uilang::RuntimeError&) {
    }
    if (!excel_) {
        try {
            excel_ = ui::CreateObject(spreadsheet::kApplicationProgId);
        } catch (const uilang::RuntimeError&) {
            ui::Runtime::Current().MsgBox(kNoApplication, ui::kMbExclamation, kTitle);
            start.SetEnabled(true);
            return;
        }
    }

    auto& dialog = Get<ui::CommonDialog>("dlgChart");
    dialog.cancelError = true;
    try {
        dialog.flags = kFlagHideReadOnly;
        dialog.filter = kWorkbookFilter;
        dialog.ShowSave();
        std::string fileName = dialog.fileName;

        uilang::Object fso = ui::CreateObject(scripting::kFileSystemProgId);
        uilang::Object books = Member(excel_, xlid::Workbooks);
        if (uilang::ToBool(fso->Call(scripting::dispid::FileExists, {Value{fileName}}))) {
            workbook_ = uilang::ToObject(books->Call(xlid::Open, {Value{fileName}}));
        } else {
            workbook_ = uilang::ToObject(books->Call(xlid::Add, {}));
            workbook_->Call(xlid::SaveAs, {Value{fileName}});
        }

        // One column per channel of the recording, named after it.
        const auto n = static_cast<std::int16_t>(recordedChannels_.size());
        uilang::Object sheet = Member(workbook_, xlid::Sheets, {Value{std::int16_t{1}}});
        std::vector<uilang::Object> columns;
        for (int i = 1; i <= n; ++i) {
            columns.push_back(Member(sheet, xlid::Columns, {Value{static_cast<std::int32_t>(i)}}));
            columns.back()->Put(
                xlid::Name, Value{"Channel" + recordedChannels_[static_cast<std::size_t>(i - 1)]});
        }

        if (n == 0)
            uilang::Raise(uilang::kErrDivisionByZero);
        const float groups = static_cast<float>(recordCount_) / n;
        auto& progress = Get<ui::ProgressBar>("progSave");
        progress.SetMax(groups);
        auto& saving = Get<ui::Label>("lblSaveFile");
        saving.SetCaption(fileName);
        saving.SetVisible(true);
        progress.SetValue(0);
        progress.SetVisible(true);

        for (std::int32_t t = 0; t <= groups - 1; ++t) {
            for (int c = 0; c < n; ++c) {
                uilang::Object cell = Member(columns[static_cast<std::size_t>(c)], xlid::Cells,
                                             {Value{t + 1}, Value{std::int32_t{1}}});
                cell->Put(xlid::Value, Value{records_[static_cast<std::size_t>(c + t * n)].volts});
            }
            progress.SetValue(static_cast<float>(t));
        }

        workbook_->Call(xlid::Save, {});
        books->Call(xlid::Close, {});
        progress.SetVisible(false);
        saving.SetVisible(false);
        workbook_.reset();
        excel_.reset();
        start.SetEnabled(true);
    } catch (const uilang::RuntimeError&) {
        ExportFailed();
    }
}

void ChartForm::ExportFailed() {
    Get<ui::CommandButton>("cmdStart").SetEnabled(true);
    Find("lblFile").SetEnabled(false);
    Get<ui::Label>("lblFileName").SetCaption("");
    try {
        Member(excel_, xlid::Workbooks)->Call(xlid::Close, {});
    } catch (const uilang::RuntimeError&) {
    }
    workbook_.reset();
    excel_.reset();
}

}  // namespace larkspur
