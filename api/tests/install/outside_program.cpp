// A program outside the tree: built against the installed header and library with pkg-config.
#include <hxdaapi32.h>

#include <cstdio>
#include <cstring>

int main() {
    char text[64];
    if (hxDaGetErrorString(HXINVALIDSSHANDLE, text, sizeof text) != text ||
        std::strcmp(text, "Invalid Subsystem Handle") != 0)
        return 1;
    std::puts(text);
    return 0;
}
