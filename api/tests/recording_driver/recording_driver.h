// A small board driver of the API tests on the kernel stand-in: one device ("\\.\HxdaRec") whose
// files are the board device itself and its subsystem files. It records every device-control
// request as it arrives, writes a chosen status at offset 12 and chosen words into the answer, and
// refuses a second open of a file that is open.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace recorder {

inline constexpr const char* kDevicePath = "\\\\.\\HxdaRec";

struct Request {
    std::u16string file;  // "" for the device, "\AD2" for a subsystem file
    std::uint32_t code;
    std::vector<std::uint8_t> input;
    std::uint32_t outputBytes;
};

// How the driver answers a request code: a status at offset 12 and words at given offsets; or,
// with failure set, the request fails with that NTSTATUS.
struct Answer {
    std::uint32_t status = 0;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> words;  // offset, value
    std::int32_t failure = 0;
};

// The failure that reaches the caller as the system error ERROR_INVALID_PARAMETER (87).
std::int32_t InvalidParameter();

std::int32_t Load();
void Unload();

void SetAnswer(std::uint32_t code, Answer answer);
std::vector<Request> Requests();
void ClearRequests();

}  // namespace recorder
