// A runtime in scripted mode on a machine of its own, for the forms runtime's tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "registry/testing.h"
#include "ui/runtime.h"
#include "ui/testing.h"

namespace ui::testing {

class GuiTest : public ::testing::Test {
  protected:
    // Offscreen unless the environment names another platform (to watch a test run).
    static bool UseOffscreen() { return setenv("QT_QPA_PLATFORM", "offscreen", 0) == 0; }

    GuiTest()
        : offscreen_(UseOffscreen()),
          runtime_(std::make_unique<Runtime>()),
          user_(*runtime_, [](const std::string& what) { ADD_FAILURE() << what; }) {
        runtime_->app.title = "Larkspur";
    }

    // Where a test's pictures go.
    static std::string PicturePath(const std::string& name) {
        std::filesystem::create_directories(MQ_TEST_PICTURES);
        return std::string(MQ_TEST_PICTURES) + "/" + name + ".png";
    }

    bool offscreen_;
    registry::ScopedMachine machine_;
    std::unique_ptr<Runtime> runtime_;
    ScriptedUser user_;
};

}  // namespace ui::testing
