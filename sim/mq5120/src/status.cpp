// The status pipe (endpoint 0x86): a FIFO of 4-byte messages, one per host read.
#include <algorithm>

#include "board_state.h"

namespace mq5120 {

void BoardState::Post(std::uint16_t type, std::uint16_t flags) {
    if (status.size() >= kStatusFifoEntries) {
        // Full: the oldest message that is not a D/A ready message makes room.
        auto victim = std::find_if(status.begin(), status.end(), [](const StatusMessage& m) {
            return m.type != kStatusTypeDaReady;
        });
        status.erase(victim != status.end() ? victim : status.begin());
        ++counters.statusDropped;
    }
    status.push_back({type, flags});
    wakeBus = true;
}

usb::InResult BoardState::ReadStatus(std::span<std::uint8_t> room) {
    usb::InResult result;
    if (status.empty() || room.empty())
        return result;
    const StatusMessage message = status.front();
    status.pop_front();
    const std::uint8_t bytes[4] = {
        static_cast<std::uint8_t>(message.type), static_cast<std::uint8_t>(message.type >> 8),
        static_cast<std::uint8_t>(message.flags), static_cast<std::uint8_t>(message.flags >> 8)};
    result.bytes = std::min<std::size_t>(4, room.size());
    std::copy(bytes, bytes + result.bytes, room.begin());
    result.ended = true;  // one message per read
    delivered.push_back(message);
    return result;
}

}  // namespace mq5120
