// Test hooks of the buffer manager: what is allocated, and a reset to the state of a fresh
// process (every buffer and list freed, every old handle stale, the stamp sequence restarted).
#pragma once

#include <cstddef>

namespace hxmem32::testing {

std::size_t LiveBuffers();
std::size_t LiveLists();
void Reset();

}  // namespace hxmem32::testing
