// Larkspur: the instrument application.
//
//   larkspur [--scope] [--screenshot FILE]
//
// --scope opens the oscilloscope on the first board and starts it, through the scripted user's
// actions, as a user would; the program then goes on as usual. --screenshot FILE (with or
// without --scope) does the same, saves the scope panel's picture to FILE and the main window's
// beside it (FILE with "-main" before its extension) once the first buffer is drawn, and ends
// with status 0 (1 when no buffer was drawn in time).
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "modules/scripted_start.h"
#include "modules/startup.h"
#include "ui/runtime.h"
#include "ui/testing.h"
#include "uilang/runtime_error.h"

namespace {

constexpr auto kFirstBufferBound = std::chrono::seconds(30);

struct Options {
    bool scope = false;
    std::string screenshot;
};

bool Parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--scope") == 0) {
            options.scope = true;
        } else if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) {
            options.screenshot = argv[++i];
            options.scope = true;
        } else {
            std::fprintf(stderr, "usage: larkspur [--scope] [--screenshot FILE]\n");
            return false;
        }
    }
    return true;
}

std::string BesideName(const std::string& file) {
    std::filesystem::path path(file);
    return (path.parent_path() / (path.stem().string() + "-main" + path.extension().string()))
        .string();
}

int Screenshot(ui::Runtime& runtime, ui::testing::ScriptedUser& user, larkspur::MainForm& main,
               larkspur::ScopeForm& scope, const std::string& file) {
    if (!user.PumpUntil([&] { return larkspur::ScopeHasDrawn(scope); }, kFirstBufferBound)) {
        std::fprintf(stderr, "larkspur: no buffer was drawn within %lld s\n",
                     static_cast<long long>(kFirstBufferBound.count()));
        return 1;
    }
    user.Pump();
    bool saved = scope.Image().SavePng(file) && main.Image().SavePng(BesideName(file));
    std::printf("larkspur: saved %s and %s\n", file.c_str(), BesideName(file).c_str());
    user.Close(main);
    return saved ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!Parse(argc, argv, options))
        return 2;
    ui::Runtime runtime(argc, argv);
    try {
        auto main = larkspur::Start(runtime);
        if (!main)
            return 0;
        if (options.scope) {
            ui::testing::ScriptedUser user(runtime, nullptr, !options.screenshot.empty());
            auto scope = larkspur::StartScopeOnFirstBoard(user, *main);
            if (!options.screenshot.empty())
                return scope ? Screenshot(runtime, user, *main, *scope, options.screenshot) : 1;
        }
        return runtime.Run();
    } catch (const uilang::RuntimeError& error) {
        std::fprintf(stderr, "larkspur: %s (error %d, %s)\n", error.Description().c_str(),
                     error.Number(), error.Source().c_str());
        return 1;
    }
}
