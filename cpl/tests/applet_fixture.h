// The applet in the Control Panel host on a simulated machine of its own: the host has loaded
// mqhxcpl.cpl and shows its window; Open runs the board list dialog modally and hands it to the
// test's script (it is closed after the script when the script has not closed it). The applet's
// classes stay inside its module: tests reach its dialogs as the forms they are.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "board_list_dlg.h"
#include "control_panel_window.h"
#include "cplhost/control_panel.h"
#include "gui_fixture.h"
#include "hxdaapi32.h"
#include "sim/machine_testing.h"
#include "win32/registry.h"

namespace mqhxcpl::testing {

// Boards of every family; the serial numbers cover "N/A" (0), the last ordinary image (10) and the
// first numbered one (11).
inline const std::vector<std::string> kFamilyBoards = {
    "MQ5120 4 1",
    "Mq5200 0x5204 10",
    "Mq5130 0x5130 0",
    "MQ5310 0 11",
};

// Deletes a value from the registry key of the board at `index` in the library's enumeration.
inline void DeleteBoardValue(std::size_t index, const char* value) {
    struct Target {
        std::size_t index;
        const char* value;
        std::size_t seen = 0;
        LONG result = ERROR_FILE_NOT_FOUND;
    } target{index, value};
    hxDaEnumBoardsEx(
        [](LPSTR, LPSTR, HKEY key, LPARAM user) -> BOOL {
            auto* t = reinterpret_cast<Target*>(user);
            if (t->seen++ != t->index)
                return TRUE;
            t->result = RegDeleteValueA(key, t->value);
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&target));
    ASSERT_EQ(target.result, ERROR_SUCCESS) << value;
}

class AppletTest : public ui::testing::GuiTest {
  protected:
    explicit AppletTest(std::vector<std::string> boards = kFamilyBoards)
        : simMachine_(std::move(boards)) {
        runtime_->app.title = "Control Panel";
        EXPECT_EQ(host_.Load(mqhxcpl_host::kAppletModule), cplhost::LoadResult::kLoaded);
        window_.Show();
    }
    ~AppletTest() override {
        window_.Unload();
        host_.Unload();
    }

    // Opens the applet; the script runs inside the dialog's modal loop.
    void Open(const std::function<void(ui::Form&)>& script) {
        bool ran = false;
        user_.AnswerModal([&](ui::Form& form) {
            ran = true;
            ui::Form& dialog = form;
            script(dialog);
            if (dialog.Loaded())
                user_.Click(dialog.Get<ui::CommandButton>("cmdClose"));
        });
        EXPECT_EQ(window_.Open(0), 0);
        EXPECT_TRUE(ran) << "the board list did not open";
    }

    static ui::ListView& List(ui::Form& dialog) { return dialog.Get<ui::ListView>("lvwBoards"); }
    // The row of a board by its name, -1 when it is not listed.
    static int RowOf(ui::Form& dialog, const std::string& board) {
        for (int row = 0; row < List(dialog).ItemCount(); ++row)
            if (List(dialog).ItemText(row, kColumnName) == board)
                return row;
        return -1;
    }
    static ui::CommandButton& Button(ui::Form& form, const char* name) {
        return form.Get<ui::CommandButton>(name);
    }

    // The boards as the API library enumerates them, in order.
    static std::vector<std::string> EnumeratedBoards() {
        std::vector<std::string> names;
        hxDaEnumBoards(
            [](LPSTR name, LPSTR, LPARAM user) -> BOOL {
                reinterpret_cast<std::vector<std::string>*>(user)->push_back(name);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&names));
        return names;
    }

    std::vector<ui::MessageBoxRecord> BoxesSince(std::size_t first) const {
        const auto& boxes = runtime_->MessageBoxes();
        return {boxes.begin() + static_cast<std::ptrdiff_t>(std::min(first, boxes.size())),
                boxes.end()};
    }

    sim::testing::ScopedSimulatedMachine simMachine_;
    cplhost::ControlPanel host_;
    mqhxcpl_host::ControlPanelWindow window_{host_};
};

}  // namespace mqhxcpl::testing
