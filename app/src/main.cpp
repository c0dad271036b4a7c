// Larkspur: the instrument application.
//
//   larkspur [--scope] [--screenshot FILE]
//
// --scope opens the oscilloscope on the first board and starts it, through the scripted user's
// actions, as a user would. --screenshot FILE saves the scope panel's picture to FILE and the
// main window's beside it once the first buffer is drawn, then ends with status 0.
#include <cstdio>
#include <cstring>
#include <string>

#include "modules/startup.h"
#include "ui/runtime.h"
#include "uilang/runtime_error.h"

int main(int argc, char** argv) {
    ui::Runtime runtime(argc, argv);
    try {
        auto main = larkspur::Start(runtime);
        if (!main)
            return 0;
        return runtime.Run();
    } catch (const uilang::RuntimeError& error) {
        std::fprintf(stderr, "larkspur: %s (error %d, %s)\n", error.Description().c_str(),
                     error.Number(), error.Source().c_str());
        return 1;
    }
}
