// The production channel: a file opened on a board's device path (the device itself, or one
// subsystem file below it), read and write, not shared, overlapped.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "driver/driver_channel.h"
#include "win32/types.h"

namespace hxda {

class FileDriverChannel : public DriverChannel {
  public:
    explicit FileDriverChannel(HANDLE file) : file_(file) {}
    ~FileDriverChannel() override;
    FileDriverChannel(const FileDriverChannel&) = delete;
    FileDriverChannel& operator=(const FileDriverChannel&) = delete;

    bool control(std::uint32_t code, const void* in, std::uint32_t inBytes, void* out,
                 std::uint32_t outBytes, std::uint32_t* bytesReturned,
                 std::uint32_t* lastError) override;
    HANDLE handle() const { return file_; }

  private:
    HANDLE file_;
};

// Sends one device-control request on `file` (opened overlapped) and waits for that request's own
// completion: it gets an OVERLAPPED and an event of its own, since a call without them would wait
// on the file, which any other completion on it (a read of the copy thread) ends early. True when
// the request was delivered and succeeded; otherwise *lastError receives the system's error.
bool controlAndWait(HANDLE file, std::uint32_t code, const void* in, std::uint32_t inBytes,
                    void* out, std::uint32_t outBytes, std::uint32_t* bytesReturned,
                    std::uint32_t* lastError);

// Opens `path`; null when it cannot be opened (a subsystem already open, a missing device).
std::unique_ptr<FileDriverChannel> openDriverFile(const std::string& path);

// "<device path>\<subsystem word><element in lower-case hex>".
std::string subsystemFilePath(const std::string& devicePath, std::uint32_t type,
                              std::uint32_t element);

}  // namespace hxda
