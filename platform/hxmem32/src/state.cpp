#include "records.h"

namespace hxmem32 {

State& GlobalState() {
    static State state;
    return state;
}

// Built when the library loads, so that it outlives the libraries built on this one, which may
// still use it as they unload at exit.
[[maybe_unused]] const bool kBuiltAtLoad = (GlobalState(), true);

}  // namespace hxmem32
