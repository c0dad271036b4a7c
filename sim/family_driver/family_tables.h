// A family's tables as the stand-in driver needs them, read through the family's extension module
// (loaded by its driver name, as the library loads it), so that the driver and the library answer
// from the same data. Free of platform types: the driver's kernel-side sources include it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sim {

using SubsystemCountsArray = std::array<std::uint32_t, 6>;  // A/D, D/A, DIN, DOUT, SRL, C/T

struct SubsystemTables {
    std::uint32_t singleEndedChannels = 0;
    std::uint32_t differentialChannels = 0;
    std::uint32_t channels = 0;  // HXSSC_NUMCHANNELS
    std::uint32_t listSize = 0;
    std::uint32_t extraChannel = 0;
    bool twosComplement = false;
    std::uint32_t resolutionBits = 0;  // first resolution
    double rangeMinimum = 0.0;         // first range
    double rangeMaximum = 0.0;
    bool hasRange = false;
    double minClock = 0.0;
    double maxClock = 0.0;
    double minRetrigger = 0.0;
    double maxRetrigger = 0.0;
};

class FamilyTables {
  public:
    // Null when the module or its entries cannot be found.
    static std::unique_ptr<FamilyTables> Load(const std::string& driverName);
    ~FamilyTables();
    FamilyTables(const FamilyTables&) = delete;
    FamilyTables& operator=(const FamilyTables&) = delete;

    // The model name and counts of a board type; false for a type the family does not have.
    bool Model(std::uint32_t boardType, std::string* modelName, SubsystemCountsArray* counts) const;
    // One subsystem's tables; false for a subsystem the family does not have.
    bool Subsystem(std::uint32_t boardType, std::uint32_t type, std::uint32_t element,
                   SubsystemTables* tables) const;

  private:
    struct Module;
    explicit FamilyTables(std::unique_ptr<Module> module);
    std::unique_ptr<Module> module_;
};

}  // namespace sim
