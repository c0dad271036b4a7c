// The kernel's own objects live as long as the process. Each is built when the kernel's library
// loads, before any library that calls on the kernel is initialised, so that at exit it is
// destroyed after them: a user-mode library that closes, at its unload, what the process left open
// still finds the kernel's threads, timers, work items and tables there to complete its requests.
//
//     [[maybe_unused]] const bool kBuiltAtLoad = kernel::host::BuildAtLoad(&TheTable);
#pragma once

namespace kernel::host {

template <class Accessor>
bool BuildAtLoad(Accessor accessor) {
    (void)accessor();
    return true;
}

}  // namespace kernel::host
