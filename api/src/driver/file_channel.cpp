#include "driver/file_channel.h"

#include <cstdio>

#include "hxda/request_codes.h"
#include "win32/fileio.h"
#include "win32/handles.h"
#include "win32/sync.h"

namespace hxda {

FileDriverChannel::~FileDriverChannel() {
    CloseHandle(file_);
}

bool controlAndWait(HANDLE file, std::uint32_t code, const void* in, std::uint32_t inBytes,
                    void* out, std::uint32_t outBytes, std::uint32_t* bytesReturned,
                    std::uint32_t* lastError) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (overlapped.hEvent == nullptr) {
        *lastError = GetLastError();
        return false;
    }
    DWORD returned = 0;
    BOOL done = DeviceIoControl(file, code, const_cast<void*>(in), inBytes, out, outBytes,
                                &returned, &overlapped);
    if (!done && GetLastError() == ERROR_IO_PENDING)
        done = GetOverlappedResult(file, &overlapped, &returned, TRUE);
    const DWORD error = done ? 0 : GetLastError();
    CloseHandle(overlapped.hEvent);
    if (!done) {
        *lastError = error;
        return false;
    }
    *bytesReturned = returned;
    return true;
}

bool FileDriverChannel::control(std::uint32_t code, const void* in, std::uint32_t inBytes,
                                void* out, std::uint32_t outBytes, std::uint32_t* bytesReturned,
                                std::uint32_t* lastError) {
    return controlAndWait(file_, code, in, inBytes, out, outBytes, bytesReturned, lastError);
}

std::unique_ptr<FileDriverChannel> openDriverFile(const std::string& path) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    return std::make_unique<FileDriverChannel>(file);
}

std::string subsystemFilePath(const std::string& devicePath, std::uint32_t type,
                              std::uint32_t element) {
    char name[32];
    std::snprintf(name, sizeof name, "\\%s%x", type < 6 ? kSubsystemFileWords[type] : "", element);
    return devicePath + name;
}

}  // namespace hxda
