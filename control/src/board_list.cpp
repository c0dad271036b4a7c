#include "board_list.h"

#include <mutex>
#include <vector>

#include "callbacks.h"

namespace mqacq32::board_list {
namespace {

// Instances are made and destroyed on their containers' threads; the list and the counter are
// touched only there, under this lock (the enumeration runs inside it, on the same thread).
std::recursive_mutex gLock;
int gInstances = 0;
std::vector<std::string> gNames;

}  // namespace

void AddInstance() {
    std::lock_guard guard(gLock);
    if (gInstances++ > 0)
        return;
    gNames.clear();
    hxDaEnumBoards(FillBoardArray, 0);
}

void RemoveInstance() {
    std::lock_guard guard(gLock);
    if (--gInstances == 0)
        gNames.clear();
}

int Count() {
    std::lock_guard guard(gLock);
    return static_cast<int>(gNames.size());
}

std::string Name(int index) {
    std::lock_guard guard(gLock);
    if (index < 0 || index >= static_cast<int>(gNames.size()))
        return {};
    return gNames[static_cast<std::size_t>(index)];
}

BOOL Append(const char* name) {
    std::lock_guard guard(gLock);
    if (gNames.size() >= kMaxBoards)
        return FALSE;
    gNames.emplace_back(name != nullptr ? name : "");
    return TRUE;
}

}  // namespace mqacq32::board_list
