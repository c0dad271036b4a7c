// The file-system object made by ProgID through the forms runtime and bound late: whether files
// exist, their items, and deleting them with and without force.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "registry/testing.h"
#include "scripting/file_system.h"
#include "ui/com_hosting.h"
#include "uilang/runtime_error.h"

namespace {

namespace fs = std::filesystem;
namespace id = scripting::dispid;
using uilang::Value;

constexpr std::int32_t kErrCannotCreateObject = 429;

std::int32_t ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const uilang::RuntimeError& error) {
        return error.Number();
    }
    return 0;
}

class FileSystemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(ui::RegisterServerModule(scripting::kModuleName));
        files_ = fs::temp_directory_path() / ("fso-" + std::to_string(::getpid()));
        fs::create_directories(files_);
        fso_ = ui::CreateObject(scripting::kFileSystemProgId);
    }
    void TearDown() override {
        fso_.reset();
        fs::remove_all(files_);
    }
    std::string Make(const char* name, const char* text) {
        fs::path path = files_ / name;
        std::ofstream(path) << text;
        return path.string();
    }
    bool Exists(const std::string& path) {
        return uilang::ToBool(fso_->Call(id::FileExists, {Value{path}}));
    }

    registry::ScopedMachine machine_;
    fs::path files_;
    uilang::Object fso_;
};

TEST_F(FileSystemTest, FileExistsAnswersForFilesOnly) {
    std::string file = Make("data.acq", "1");
    EXPECT_TRUE(Exists(file));
    EXPECT_FALSE(Exists((files_ / "missing.acq").string()));
    EXPECT_FALSE(Exists(files_.string()));  // a folder is no file
    EXPECT_FALSE(Exists(""));
}

TEST_F(FileSystemTest, GetFileGivesAnItemOfTheFileAndRaisesFileNotFoundForNone) {
    std::string file = Make("chart.tmp", "12345");
    uilang::Object item = uilang::ToObject(fso_->Call(id::GetFile, {Value{file}}));
    EXPECT_EQ(uilang::ToText(item->Get(id::Path, {})), file);
    EXPECT_EQ(uilang::ToText(item->Get(id::Name, {})), "chart.tmp");
    EXPECT_EQ(uilang::ToLong(item->Get(id::Size, {})), 5);
    EXPECT_EQ(ErrorOf([&] { fso_->Call(id::GetFile, {Value{file + ".none"}}); }),
              scripting::kErrFileNotFound);
}

TEST_F(FileSystemTest, DeleteKeepsAReadOnlyFileUnlessForcedAndRaisesForAFileGone) {
    std::string file = Make("locked.tmp", "x");
    ASSERT_EQ(::chmod(file.c_str(), S_IRUSR), 0);
    uilang::Object item = uilang::ToObject(fso_->Call(id::GetFile, {Value{file}}));
    EXPECT_EQ(ErrorOf([&] { item->Call(id::Delete, {Value{false}}); }),
              scripting::kErrPermissionDenied);
    EXPECT_TRUE(Exists(file));
    EXPECT_EQ(ErrorOf([&] { item->Call(id::Delete, {Value{true}}); }), 0);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(ErrorOf([&] { item->Call(id::Delete, {Value{true}}); }), scripting::kErrFileNotFound);

    std::string plain = Make("plain.tmp", "y");
    uilang::Object other = uilang::ToObject(fso_->Call(id::GetFile, {Value{plain}}));
    EXPECT_EQ(ErrorOf([&] { other->Call(id::Delete, {Value{false}}); }), 0);
    EXPECT_FALSE(fs::exists(plain));
}

TEST_F(FileSystemTest, AClassNotRegisteredOrNotRunningMakesNoObject) {
    EXPECT_EQ(ErrorOf([] { ui::CreateObject("Scripting.NoSuchClass"); }), kErrCannotCreateObject);
    // The file-system object is made for each use; none is ever running to attach to.
    EXPECT_EQ(ErrorOf([] { ui::GetObject(scripting::kFileSystemProgId); }), kErrCannotCreateObject);
    // An object is handed to a member as itself: here it is no path.
    EXPECT_EQ(ErrorOf([&] { fso_->Call(id::FileExists, {Value{fso_}}); }),
              uilang::kErrTypeMismatch);
}

}  // namespace
