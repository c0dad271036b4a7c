// The control's property pages on a simulated machine: the control made through the registry in
// a design-mode container, the forms runtime in scripted mode, and the property frame opened
// over the control with the pages a test names.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "com/property_pages.h"
#include "container.h"
#include "control_fixture.h"
#include "gui_fixture.h"
#include "pages/page_ids.h"
#include "sim/machine_testing.h"
#include "ui/property_frame_dialog.h"
#include "ui/property_page.h"

namespace controltest {

class PageTest : public ui::testing::GuiTest {
  protected:
    PageTest() : simMachine_({kMq5204Line, kMq5330Line, kMq5310Line, kMq5120Line}) {
        site.userMode = false;
        control = std::make_unique<Control>(&site);
    }
    ~PageTest() override {
        control.reset();
        user_.Pump();
    }

    void open(const char* board, int index) {
        ASSERT_TRUE(control->put(mqacq32::dispid::Board, Variant::Text(board)).ok());
        const Outcome opened =
            control->put(mqacq32::dispid::SubSystem, Variant::Short(static_cast<SHORT>(index)));
        ASSERT_TRUE(opened.ok()) << opened.description;
    }

    // Shows the frame over the control with `pages`; `act` plays the user on the first page
    // while the frame is open (the frame is cancelled afterwards when still open).
    void ShowPages(std::vector<CLSID> pages,
                   const std::function<void(ui::PropertyFrameDialog&, ui::Form& page)>& act) {
        bool answered = false;
        user_.AnswerModal([&](ui::Form& form) {
            answered = true;
            auto& dialog = dynamic_cast<ui::PropertyFrameDialog&>(form);
            ASSERT_NE(dialog.ShownPage(), nullptr);
            act(dialog, *dialog.ShownPage());
            if (dialog.Loaded())
                user_.Click(dialog.CancelButton());
        });
        IUnknown* objects[] = {control->dispatch.get()};
        EXPECT_EQ(
            OleCreatePropertyFrame(nullptr, 0, 0, u"MQAcq32 Control", 1, objects,
                                   static_cast<ULONG>(pages.size()), pages.data(), 0, 0, nullptr),
            S_OK);
        EXPECT_TRUE(answered);
    }
    void ShowPage(const mqacq32::pages::PageIdentity& page,
                  const std::function<void(ui::PropertyFrameDialog&, ui::Form& page)>& act) {
        ShowPages({page.clsid}, act);
    }

    static ui::ComboBox& Combo(ui::Form& page, int id) {
        return page.Get<ui::ComboBox>(ui::DialogControlName(id));
    }
    static ui::TextBox& Edit(ui::Form& page, int id) {
        return page.Get<ui::TextBox>(ui::DialogControlName(id));
    }
    static std::vector<std::string> Items(const ui::ComboBox& combo) {
        std::vector<std::string> items;
        for (int i = 0; i < combo.ListCount(); ++i)
            items.push_back(combo.List(i));
        return items;
    }
    static void SavePicture(ui::PropertyFrameDialog& dialog, const std::string& name) {
        EXPECT_TRUE(dialog.Image().SavePng(PicturePath(name)));
    }

    sim::testing::ScopedSimulatedMachine simMachine_;
    RegisteredControlModule module;
    Site site;
    std::unique_ptr<Control> control;
};

}  // namespace controltest
