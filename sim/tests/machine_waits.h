// The tests of a running machine: bounded waits for what its threads do, board-list edits made the
// way the machine tool makes them, and single values read through an open subsystem file.
#pragma once

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "client.h"
#include "hxda/request_codes.h"

namespace simtest {

// Polls until done() holds, for at most timeoutMs; whether it held.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// Replaces the machine's board list at once: a new file renamed over the old one.
inline void WriteBoardList(const std::filesystem::path& directory,
                           const std::vector<std::string>& lines) {
    const auto temporary = directory / "boards.txt.test";
    {
        std::ofstream file(temporary);
        for (const auto& line : lines)
            file << line << '\n';
    }
    std::filesystem::rename(temporary, directory / "boards.txt");
}

inline std::string ReadText(const std::filesystem::path& file) {
    std::ifstream stream(file);
    return std::string(std::istreambuf_iterator<char>(stream), {});
}

// The single value of channel 0 of an open A/D file, or nothing when the request fails.
inline std::optional<std::uint32_t> ReadAd0(HANDLE ad) {
    hxda::DriverRequest request{};
    request.subsystemType = 0;
    request.element = 0;
    request.parameters.singleValue.channel = 0;
    request.parameters.singleValue.gain = hxda::encodeFixedPoint(1.0);
    if (!Send(ad, IOCTL_HXDA_GETSINGLEVALUE, request).ok)
        return std::nullopt;
    return request.parameters.singleValue.value;
}

}  // namespace simtest
