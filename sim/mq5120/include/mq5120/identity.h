// What an MQ5120 board is, as data: its type and variant, the settings kept in its non-volatile
// memory, the bus speed, and the strings the simulated Plug and Play layer reports for it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace mq5120 {

// Calibration pot address: pot P, channel N, element E (-1 for the 0x54 form).
using PotAddress = std::tuple<std::uint16_t, std::uint16_t, std::int16_t>;

// The board's non-volatile memory: survives Board::Reset.
struct StoredSettings {
    std::uint32_t serialNumber = 0;
    std::uint16_t hardwareA = 0;
    std::uint16_t hardwareB = 0;
    std::uint16_t hardwareC = 0;
    std::uint8_t termination = 0xFF;  // erased
    std::uint8_t dinChangeMask = 0xFF;
    std::map<PotAddress, std::uint16_t> pots;
    bool operator==(const StoredSettings&) const = default;
};

struct BoardIdentity {
    // Board type (register 32): bit 0 no analog inputs, bit 1 no analog outputs, bit 2 16-bit
    // converters (else 12-bit), bit 3 32 single-ended / 16 differential inputs (else 16 / 8).
    std::uint8_t boardType = 0;
    bool highSpeed = true;  // bulk max packet 512 (else 64)
    std::uint16_t vendorId = 0x5A17;
    std::uint16_t productId = 0x5120;
    std::uint16_t deviceRelease = 0x0100;
    std::string manufacturer = "Marquell";
    std::string description = "MQ5120";
    StoredSettings stored;
    // Descriptor variation for fault tests: an endpoint address the configuration lacks (0: none).
    std::uint8_t omittedEndpoint = 0;

    bool HasAnalogInputs() const { return (boardType & 0x01) == 0; }
    bool HasAnalogOutputs() const { return (boardType & 0x02) == 0; }
    int Resolution() const { return (boardType & 0x04) != 0 ? 16 : 12; }
    int SingleEndedInputs() const { return (boardType & 0x08) != 0 ? 32 : 16; }
    int DifferentialInputs() const { return SingleEndedInputs() / 2; }
};

// The board types that exist.
inline const std::vector<std::uint8_t>& BoardTypes() {
    static const std::vector<std::uint8_t> types = {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14};
    return types;
}

// The descriptors the board presents for its identity: the 18-byte device descriptor and the
// configuration set of configuration 1 (one vendor-class interface with six endpoints).
std::vector<std::uint8_t> DeviceDescriptor(const BoardIdentity& identity);
std::vector<std::uint8_t> ConfigurationDescriptor(const BoardIdentity& identity);

}  // namespace mq5120
