// Renaming a board from the list: the new name reaches the board's registry values, the library
// opens the board by it (after the machine boots again too), and the rename dialog's and the
// list's refusals leave everything as it was.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "applet_fixture.h"
#include "board_names.h"
#include "edit_board_name_dlg.h"

namespace mqhxcpl::testing {
namespace {

constexpr HXSTATUS kUnknownBoard = HXDRIVERINITFAILED;

class RenameTest : public AppletTest {
  protected:
    // Selects the board, opens the rename dialog and hands it to the script.
    void Rename(ui::Form& dialog, const std::string& board,
                const std::function<void(ui::Form&)>& script) {
        ASSERT_TRUE(user_.ClickListRow(List(dialog), RowOf(dialog, board)));
        bool ran = false;
        user_.AnswerModal([&](ui::Form& form) {
            ran = true;
            script(form);
        });
        ASSERT_TRUE(user_.Click(Button(dialog, "cmdEditName")));
        EXPECT_TRUE(ran) << "the rename dialog did not open";
    }
    static ui::TextBox& Box(ui::Form& form, const char* name) {
        return form.Get<ui::TextBox>(name);
    }
    // Types the name and presses OK.
    void TypeAndOk(ui::Form& rename, const std::string& name) {
        ASSERT_TRUE(user_.Type(Box(rename, "txtNewName"), name));
        ASSERT_TRUE(user_.Click(Button(rename, "cmdOK")));
    }
    static HXSTATUS OpenStatus(const std::string& board) {
        HDEV device = 0;
        const HXSTATUS status = hxDaInitialize(board.c_str(), &device);
        if (status == HXNOERROR)
            hxDaTerminate(device);
        return status;
    }
};

TEST_F(RenameTest, ARenamePersistsTheLibraryOpensTheBoardByItsNewNameAfterABootToo) {
    Open([&](ui::Form& dialog) {
        Rename(dialog, "MQ5120(00)", [&](ui::Form& rename) {
            EXPECT_EQ(rename.Caption(), "Edit Board Name...");
            EXPECT_EQ(Box(rename, "txtOldName").Text(), "MQ5120(00)");
            EXPECT_TRUE(Box(rename, "txtOldName").Locked());
            EXPECT_EQ(Box(rename, "txtNewName").Text(), "MQ5120(00)");
            rename.Image().SavePng(PicturePath("mqhxcpl_rename"));
            TypeAndOk(rename, "Bench_1");
        });
        EXPECT_GE(RowOf(dialog, "Bench_1"), 0);
        EXPECT_EQ(RowOf(dialog, "MQ5120(00)"), -1);
        EXPECT_EQ(List(dialog).ItemCount(), 4);
        EXPECT_FALSE(Button(dialog, "cmdEditName").Enabled());
        EXPECT_FALSE(Button(dialog, "cmdAdvanced").Enabled());
    });
    EXPECT_TRUE(runtime_->MessageBoxes().empty());
    EXPECT_EQ(OpenStatus("Bench_1"), HXNOERROR);
    EXPECT_EQ(OpenStatus("MQ5120(00)"), kUnknownBoard);

    host_.Unload();
    ASSERT_TRUE(simMachine_.Reboot());
    EXPECT_EQ(OpenStatus("bench_1"), HXNOERROR);
    ASSERT_EQ(host_.Load(mqhxcpl_host::kAppletModule), cplhost::LoadResult::kLoaded);
    Open([&](ui::Form& dialog) { EXPECT_GE(RowOf(dialog, "Bench_1"), 0); });
}

TEST_F(RenameTest, TheRenameDialogRefusesLongNamesAndDelimitersAndStaysOpen) {
    const std::string fortyOne(kMaxBoardNameLength + 1, 'A');
    const std::string forty(kMaxBoardNameLength, 'B');
    struct Case {
        std::string name;
        const char* refusal;
    };
    const Case cases[] = {
        {fortyOne, "Board name is limited to 40 characters"},
        {"Bench.1", kInvalidNameText},
        {"Bench 1", kInvalidNameText},
        {"Bench'1", kInvalidNameText},
        {" Bench", kInvalidNameText},
        {"Bench,1", kInvalidNameText},
        {"<Bench>", kInvalidNameText},
        {"", kInvalidNameText},
    };
    Open([&](ui::Form& dialog) {
        Rename(dialog, "Mq5200(00)", [&](ui::Form& rename) {
            for (const Case& c : cases) {
                const std::size_t before = runtime_->MessageBoxes().size();
                TypeAndOk(rename, c.name);
                const auto boxes = BoxesSince(before);
                ASSERT_EQ(boxes.size(), 1u) << c.name;
                EXPECT_EQ(boxes[0].text, c.refusal) << c.name;
                EXPECT_TRUE(rename.Visible()) << c.name;
            }
            // Forty characters are accepted.
            const std::size_t before = runtime_->MessageBoxes().size();
            TypeAndOk(rename, forty);
            EXPECT_TRUE(BoxesSince(before).empty());
            EXPECT_FALSE(rename.Loaded());
        });
        EXPECT_GE(RowOf(dialog, forty), 0);
    });
    EXPECT_EQ(OpenStatus(forty), HXNOERROR);
    EXPECT_EQ(OpenStatus("Mq5200(00)"), kUnknownBoard);
}

TEST_F(RenameTest, AnotherBoardsNameInAnyCaseIsRefusedAndTheBoardsOwnNameIsKept) {
    Open([&](ui::Form& dialog) {
        const std::size_t before = runtime_->MessageBoxes().size();
        Rename(dialog, "Mq5200(00)", [&](ui::Form& rename) { TypeAndOk(rename, "mq5120(00)"); });
        const auto boxes = BoxesSince(before);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, kNameInUseText);
        EXPECT_GE(RowOf(dialog, "Mq5200(00)"), 0);
        EXPECT_FALSE(Button(dialog, "cmdEditName").Enabled());

        // Its own name, typed anew in other case, is the board's: accepted.
        Rename(dialog, "Mq5130(00)", [&](ui::Form& rename) { TypeAndOk(rename, "MQ5130(00)"); });
        EXPECT_EQ(BoxesSince(before).size(), 1u);
        EXPECT_GE(RowOf(dialog, "MQ5130(00)"), 0);
    });
    EXPECT_EQ(OpenStatus("Mq5200(00)"), HXNOERROR);
    EXPECT_EQ(OpenStatus("MQ5130(00)"), HXNOERROR);
}

TEST_F(RenameTest, TheNameOfABoardLeftOutOfTheListIsRefusedToo) {
    const std::vector<std::string> enumerated = EnumeratedBoards();
    ASSERT_EQ(enumerated.size(), 4u);
    // The listing ends at the third board: it and the fourth are not in the list.
    DeleteBoardValue(2, "SerialNumber");
    const std::string& hidden = enumerated[3];
    std::string otherCase = hidden;
    for (char& c : otherCase)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    Open([&](ui::Form& dialog) {
        ASSERT_EQ(RowOf(dialog, hidden), -1);
        const std::size_t before = runtime_->MessageBoxes().size();
        Rename(dialog, enumerated[0], [&](ui::Form& rename) { TypeAndOk(rename, otherCase); });
        const auto boxes = BoxesSince(before);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, kNameInUseText);
        EXPECT_GE(RowOf(dialog, enumerated[0]), 0);
    });
    EXPECT_EQ(EnumeratedBoards(), enumerated);
}

TEST_F(RenameTest, CancelAndAnUntouchedOkChangeNothing) {
    Open([&](ui::Form& dialog) {
        Rename(dialog, "MQ5310(00)", [&](ui::Form& rename) {
            ASSERT_TRUE(user_.Type(Box(rename, "txtNewName"), "Other"));
            ASSERT_TRUE(user_.Click(Button(rename, "cmdCancel")));
        });
        EXPECT_FALSE(Button(dialog, "cmdEditName").Enabled());
        // The row stays selected with the buttons off: a click on it changes nothing, another
        // row's and then its own selects it anew.
        ASSERT_TRUE(user_.ClickListRow(List(dialog), RowOf(dialog, "MQ5310(00)")));
        EXPECT_FALSE(Button(dialog, "cmdEditName").Enabled());
        ASSERT_TRUE(user_.ClickListRow(List(dialog), RowOf(dialog, "MQ5120(00)")));
        Rename(dialog, "MQ5310(00)",
               [&](ui::Form& rename) { ASSERT_TRUE(user_.Click(Button(rename, "cmdOK"))); });
        EXPECT_GE(RowOf(dialog, "MQ5310(00)"), 0);
        EXPECT_EQ(RowOf(dialog, "Other"), -1);
    });
    EXPECT_TRUE(runtime_->MessageBoxes().empty());
    EXPECT_EQ(OpenStatus("MQ5310(00)"), HXNOERROR);
}

}  // namespace
}  // namespace mqhxcpl::testing
