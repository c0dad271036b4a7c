#include "modules/panels.h"

#include <map>

namespace larkspur {
namespace {

std::map<std::string, PanelOpener>& Openers() {
    static std::map<std::string, PanelOpener> openers;
    return openers;
}

}  // namespace

void RegisterPanel(const std::string& key, PanelOpener opener) {
    Openers()[key] = std::move(opener);
}

bool OpenPanel(const std::string& key) {
    auto it = Openers().find(key);
    if (it == Openers().end())
        return false;
    it->second();
    return true;
}

}  // namespace larkspur
