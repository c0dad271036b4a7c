// The module's help file: "Velkor.hlp" in the system directory while the module is loaded.
#pragma once

#include <string>

namespace mqacq32 {

inline constexpr const char* kHelpFileName = "Velkor.hlp";

// The system directory, a backslash and kHelpFileName, however long the directory is; empty
// when the system directory cannot be read.
std::string SystemHelpFilePath();

// The module's application object: its help-file path, replaced at module start and put back at
// module end.
class ModuleApplication {
  public:
    void Start();
    void End();
    const std::string& helpFilePath() const { return helpFilePath_; }

  private:
    std::string helpFilePath_ = "MQACQ32.HLP";
    std::string previous_;
};

ModuleApplication& Application();

}  // namespace mqacq32
