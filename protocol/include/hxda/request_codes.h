// Device-control request codes and event codes of the board driver protocol.
#pragma once

#include <cstdint>

namespace hxda {

// Request codes are composed as device type << 16 | access << 14 | function << 2 | method.
inline constexpr std::uint32_t kDeviceTypeUnknown = 0x22;
inline constexpr std::uint32_t kMethodBuffered = 0;
inline constexpr std::uint32_t kMethodOutDirect = 2;
inline constexpr std::uint32_t kAnyAccess = 0;

constexpr std::uint32_t controlCode(std::uint32_t function, std::uint32_t method) {
    return (kDeviceTypeUnknown << 16) | (kAnyAccess << 14) | (function << 2) | method;
}

// Subsystem words, indexed by subsystem type; a subsystem file is named
// "<device path>\<word><element in lower-case hex>".
inline constexpr const char* kSubsystemFileWords[6] = {"AD", "DA", "DIN", "DOUT", "SRL", "CT"};

// The device interface under which every board driver registers its devices.
struct InterfaceGuid {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];
};
inline constexpr InterfaceGuid kDeviceInterfaceGuid = {
    0xfdfaf46e, 0x64a3, 0x405c, {0x82, 0xbb, 0xa5, 0x4d, 0xf4, 0xdc, 0x4f, 0x18}};

}  // namespace hxda

// Synchronous requests carry a 336-byte DriverRequest in and out; the configure request carries
// the ConfigurationBlock; WAITEVENT is overlapped; FLUSHINPROCESS writes into the caller's buffer.
inline constexpr std::uint32_t IOCTL_HXDA_READEVENTS =
    hxda::controlCode(0x902, hxda::kMethodBuffered);
inline constexpr std::uint32_t IOCTL_HXDA_SETSINGLEVALUE =
    hxda::controlCode(0x903, hxda::kMethodBuffered);
inline constexpr std::uint32_t IOCTL_HXDA_GETSINGLEVALUE =
    hxda::controlCode(0x904, hxda::kMethodBuffered);
inline constexpr std::uint32_t IOCTL_HXDA_CONFIG = hxda::controlCode(0x905, hxda::kMethodBuffered);
inline constexpr std::uint32_t IOCTL_HXDA_START = hxda::controlCode(0x906, hxda::kMethodBuffered);
inline constexpr std::uint32_t IOCTL_HXDA_STOP = hxda::controlCode(0x907, hxda::kMethodBuffered);
inline constexpr std::uint32_t IOCTL_HXDA_PAUSE = hxda::controlCode(0x908, hxda::kMethodBuffered);
inline constexpr std::uint32_t IOCTL_HXDA_CONTINUE =
    hxda::controlCode(0x909, hxda::kMethodBuffered);
inline constexpr std::uint32_t IOCTL_HXDA_RESET = hxda::controlCode(0x90A, hxda::kMethodBuffered);
inline constexpr std::uint32_t IOCTL_HXDA_ABORT = hxda::controlCode(0x90B, hxda::kMethodBuffered);
inline constexpr std::uint32_t IOCTL_HXDA_PRESTART =
    hxda::controlCode(0x90D, hxda::kMethodBuffered);
inline constexpr std::uint32_t IOCTL_HXDA_SIMULSTART =
    hxda::controlCode(0x90E, hxda::kMethodBuffered);
inline constexpr std::uint32_t IOCTL_HXDA_WRITEREG =
    hxda::controlCode(0x90F, hxda::kMethodBuffered);
inline constexpr std::uint32_t IOCTL_HXDA_READREG = hxda::controlCode(0x910, hxda::kMethodBuffered);
inline constexpr std::uint32_t IOCTL_HXDA_SETHWINFO =
    hxda::controlCode(0x911, hxda::kMethodBuffered);
inline constexpr std::uint32_t IOCTL_HXDA_GETHWINFO =
    hxda::controlCode(0x912, hxda::kMethodBuffered);
inline constexpr std::uint32_t IOCTL_HXDA_WAITEVENT =
    hxda::controlCode(0x913, hxda::kMethodBuffered);
inline constexpr std::uint32_t IOCTL_HXDA_FLUSHINPROCESS =
    hxda::controlCode(0x914, hxda::kMethodOutDirect);
inline constexpr std::uint32_t IOCTL_HXDA_RESERVED =
    hxda::controlCode(0x916, hxda::kMethodBuffered);
inline constexpr std::uint32_t IOCTL_HXDA_WRITECALPOT =
    hxda::controlCode(0x919, hxda::kMethodBuffered);
inline constexpr std::uint32_t IOCTL_HXDA_READCALPOT =
    hxda::controlCode(0x91A, hxda::kMethodBuffered);
inline constexpr std::uint32_t IOCTL_HXDA_GETSINGLEVALUES =
    hxda::controlCode(0x91B, hxda::kMethodBuffered);

// Event codes a completed WAITEVENT request reports at offset 16 (event data at offset 20).
inline constexpr std::uint32_t HXEV_DEVICEREMOVED = 3;
inline constexpr std::uint32_t HXEV_TRIGGER = 4;
inline constexpr std::uint32_t HXEV_EVENTDONE = 5;
inline constexpr std::uint32_t HXEV_BUFFERREUSED = 6;
inline constexpr std::uint32_t HXEV_EVENTVALUE = 7;
inline constexpr std::uint32_t HXEV_IOCOMPLETE = 8;
inline constexpr std::uint32_t HXEV_OVERRUN = 0x80000001u;
inline constexpr std::uint32_t HXEV_UNDERRUN = 0x80000002u;
inline constexpr std::uint32_t HXEV_EVENTERROR = 0x80000003u;
inline constexpr std::uint32_t HXEV_TRIGGERERROR = 0x80000004u;
