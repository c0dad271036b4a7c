#include "win32/pointer_checks.h"

#include <cstdint>
#include <cstdio>

namespace {

enum class Access { Read, Write, Execute };

// True when every byte of [begin, end) lies in mappings that grant `access`. The mappings are read
// afresh from /proc/self/maps at each call, so libraries loaded or unloaded meanwhile are seen.
bool rangeHasAccess(std::uintptr_t begin, std::uintptr_t end, Access access) {
    std::FILE* maps = std::fopen("/proc/self/maps", "r");
    if (maps == nullptr)
        return false;
    char line[512];
    std::uintptr_t covered = begin;
    while (covered < end && std::fgets(line, sizeof line, maps) != nullptr) {
        unsigned long low = 0;
        unsigned long high = 0;
        char permissions[5] = {};
        if (std::sscanf(line, "%lx-%lx %4s", &low, &high, permissions) != 3)
            continue;
        if (high <= covered || low > covered)
            continue;  // the mappings are sorted: one that starts past `covered` leaves a hole
        const char wanted = access == Access::Read ? 'r' : access == Access::Write ? 'w' : 'x';
        const int index = access == Access::Read ? 0 : access == Access::Write ? 1 : 2;
        if (permissions[index] != wanted)
            break;
        covered = high;
    }
    std::fclose(maps);
    return covered >= end;
}

bool badRange(const void* pointer, UINT_PTR bytes, Access access) {
    if (bytes == 0)
        return false;
    const auto begin = reinterpret_cast<std::uintptr_t>(pointer);
    if (begin == 0 || begin + bytes < begin)
        return true;
    return !rangeHasAccess(begin, begin + bytes, access);
}

}  // namespace

BOOL WINAPI IsBadReadPtr(const void* lp, UINT_PTR ucb) {
    return badRange(lp, ucb, Access::Read) ? TRUE : FALSE;
}

BOOL WINAPI IsBadWritePtr(LPVOID lp, UINT_PTR ucb) {
    return badRange(lp, ucb, Access::Write) ? TRUE : FALSE;
}

BOOL WINAPI IsBadCodePtr(FARPROC lpfn) {
    return badRange(reinterpret_cast<const void*>(lpfn), 1, Access::Execute) ? TRUE : FALSE;
}
