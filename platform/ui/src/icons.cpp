#include "ui/icons.h"

#include <map>
#include <mutex>

namespace ui {
namespace {

struct IconTable {
    std::mutex mutex;
    std::uint32_t last = 0;
    std::map<std::uint32_t, Picture> pictures;
};

IconTable& Icons() {
    static IconTable table;
    return table;
}

}  // namespace

std::uint32_t CreateIconHandle(const Picture& picture) {
    IconTable& table = Icons();
    std::lock_guard lock(table.mutex);
    const std::uint32_t icon = ++table.last;
    table.pictures.emplace(icon, picture);
    return icon;
}

Picture IconPicture(std::uint32_t icon) {
    IconTable& table = Icons();
    std::lock_guard lock(table.mutex);
    auto it = table.pictures.find(icon);
    return it != table.pictures.end() ? it->second : Picture();
}

bool DestroyIconHandle(std::uint32_t icon) {
    IconTable& table = Icons();
    std::lock_guard lock(table.mutex);
    return table.pictures.erase(icon) == 1;
}

}  // namespace ui
