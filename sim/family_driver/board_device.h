// The stand-in driver's record of one board (behind the device extension) and of an open file.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "family_tables.h"
#include "kernel/wdm.h"
#include "sim/simulated_board.h"
#include "stream.h"

namespace sim {

struct SubsystemSlot {
    SubsystemTables tables;
    bool open = false;
    std::vector<std::uint8_t> configuration;  // the last block configured; empty before
    std::shared_ptr<SubsystemStream> stream;  // of the open file
};

struct BoardDevice {
    PDEVICE_OBJECT self = nullptr;
    PDEVICE_OBJECT physical = nullptr;
    PDEVICE_OBJECT lower = nullptr;
    SimulatedBoard* board = nullptr;
    std::unique_ptr<FamilyTables> tables;

    std::string driverName;  // "MQ5120", "Mq5200", ...
    std::string modelName;   // from the model table, "UNKNOWN" for a type not in it
    std::string boardName;   // MqHalcyonBoardName
    std::uint32_t instance = 0;
    std::uint32_t boardType = 0;
    std::uint32_t serialNumber = 0;
    SubsystemCountsArray counts{};

    std::u16string deviceName;         // "\Device\MqSimDa_MQ5120_0"
    std::u16string linkName;           // "\??\MQ5120_0"
    UNICODE_STRING interfaceLink{};    // from IoRegisterDeviceInterface
    std::atomic<bool> started{false};  // listed and opened; cleared once at removal
    bool deviceMapWritten = false;
    std::atomic<bool> removed{false};  // surprise-removed: requests fail until the files close
    std::atomic<int> openFiles{0};     // files opened on the board and not yet cleaned up

    std::mutex mutex;                                                        // guards the slots
    std::map<std::pair<std::uint32_t, std::uint32_t>, SubsystemSlot> slots;  // (type, element)
};

// FILE_OBJECT::FsContext of a file the driver opened.
struct OpenFile {
    bool subsystem = false;  // false: the board's device itself
    std::uint32_t type = 0;
    std::uint32_t element = 0;
    // The subsystem's stream; it outlives the board's removal until the file is closed.
    std::shared_ptr<SubsystemStream> stream;
};

inline BoardDevice* BoardOf(PDEVICE_OBJECT device) {
    return *static_cast<BoardDevice**>(device->DeviceExtension);
}

// Board registration in the registry (registration.cpp).
NTSTATUS RegisterBoard(BoardDevice& device);
void UnregisterBoard(BoardDevice& device);

// Device-control requests (requests.cpp). information receives the bytes to return.
NTSTATUS HandleControl(BoardDevice& device, const OpenFile& file, PIRP irp, ULONG* information);

// Transfers: reads, event requests and the start/stop family (transfers.cpp).
NTSTATUS HandleRead(BoardDevice& device, const OpenFile& file, PIRP irp);
// A transfer request in a 336-byte record; false when code is not one. Under the device's mutex.
bool HandleTransferRequest(BoardDevice& device, const SubsystemSlot& slot, const OpenFile& file,
                           ULONG code, std::uint32_t* status);
NTSTATUS HandleWaitEvent(BoardDevice& device, const OpenFile& file, PIRP irp);
// Bytes of the buffer in process copied by FLUSHINPROCESS.
ULONG FlushInProcess(const OpenFile& file, void* output, ULONG length);

// The converter's format of a subsystem for a gain: the configured range, resolution and
// encoding, else the tables' first (requests.cpp).
CodeFormat FormatOf(const SubsystemSlot& slot, double gain);

}  // namespace sim
