#include "driver/file_channel.h"

#include <cstdio>

#include "hxda/request_codes.h"
#include "win32/fileio.h"
#include "win32/handles.h"

namespace hxda {

FileDriverChannel::~FileDriverChannel() {
    CloseHandle(file_);
}

bool FileDriverChannel::control(std::uint32_t code, const void* in, std::uint32_t inBytes,
                                void* out, std::uint32_t outBytes, std::uint32_t* bytesReturned,
                                std::uint32_t* lastError) {
    DWORD returned = 0;
    if (!DeviceIoControl(file_, code, const_cast<void*>(in), inBytes, out, outBytes, &returned,
                         nullptr)) {
        *lastError = GetLastError();
        return false;
    }
    *bytesReturned = returned;
    return true;
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
