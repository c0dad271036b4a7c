// The tests of a running machine: bounded waits for what its threads do, board-list edits made the
// way the machine tool makes them, and single values read through an open subsystem file.
#pragma once

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "client.h"
#include "hxda/request_codes.h"
#include "simclock/condition.h"
#include "win32/handles.h"

namespace simtest {

// Polls until done() holds, for at most timeoutMs of the stand-ins' clock; whether it held.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000) {
    const auto deadline = simclock::Deadline::After(std::chrono::milliseconds(timeoutMs));
    while (!done()) {
        if (deadline.Passed())
            return false;
        simclock::SleepFor(std::chrono::milliseconds(10));
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

// Configures an open A/D file for single values as the library does (one list entry, channel 0
// at gain 1, the full MQ5120's 27 channels); whether the driver took it. The MQ5120 boards'
// driver answers single values only once configured; the stand-in driver takes it as well.
inline bool ConfigureSingleValues(HANDLE ad) {
    const std::size_t bytes = hxda::configurationBlockBytes(1);
    std::vector<std::uint8_t> data(bytes, 0);
    hxda::ConfigurationBlock block{};
    block.subsystemType = 0;
    block.state = 1004;
    block.channelListSize = 1;
    block.numberOfChannels = 27;
    block.encoding = 200;
    block.resolution = 16;
    block.dataFlow = 801;       // single values
    block.triggerSource = 300;  // software
    block.clockFrequency = hxda::encodeFixedPoint(1000.0);
    block.rangeMinimum = hxda::encodeFixedPoint(-10.0);
    block.rangeMaximum = hxda::encodeFixedPoint(10.0);
    std::memcpy(data.data(), &block, sizeof block);
    hxda::ChannelListEntry entry{};
    entry.gain = hxda::encodeFixedPoint(1.0);
    std::memcpy(data.data() + hxda::kListEntriesOffset, &entry, sizeof entry);
    const Answer answer = Control(ad, IOCTL_HXDA_CONFIG, data.data(), static_cast<DWORD>(bytes),
                                  data.data(), static_cast<DWORD>(bytes));
    std::memcpy(&block, data.data(), sizeof block);
    return answer.ok && block.status == 0;
}

// An A/D file opened and configured for single values, or INVALID_HANDLE_VALUE.
inline HANDLE OpenAd(const std::string& path) {
    HANDLE ad = Open(path);
    if (ad != INVALID_HANDLE_VALUE && !ConfigureSingleValues(ad)) {
        CloseHandle(ad);
        return INVALID_HANDLE_VALUE;
    }
    return ad;
}

// The single value of channel 0 of an open A/D file, or nothing when the request fails.
inline std::optional<std::uint32_t> ReadAd0(HANDLE ad) {
    hxda::DriverRequest request{};
    request.subsystemType = 0;
    request.element = 0;
    request.parameters.singleValue.channel = 0;
    request.parameters.singleValue.gain = hxda::encodeFixedPoint(1.0);
    if (!Send(ad, IOCTL_HXDA_GETSINGLEVALUE, request).ok || request.status != 0)
        return std::nullopt;
    return request.parameters.singleValue.value;
}

}  // namespace simtest
