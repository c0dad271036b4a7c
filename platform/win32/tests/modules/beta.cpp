// Test module "mqtest_beta": no export or string table of its own; it links mqtest_alpha.
#include "win32/types.h"

extern "C" LONG AlphaPlainSymbol();

extern "C" [[gnu::visibility("default")]] LONG BetaPlainSymbol() {
    return AlphaPlainSymbol() + 1;
}
