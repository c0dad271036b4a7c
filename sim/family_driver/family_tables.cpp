// The user-mode half of the driver: the extension module's entry points through the module loader.
#include "family_tables.h"

#include "boardext/extension_interface.h"
#include "hxdacodes.h"
#include "win32/module.h"

namespace sim {

struct FamilyTables::Module {
    HMODULE handle = nullptr;
    BoardInfoProcExProc boardInfo = nullptr;
    PersonalityProcExProc personality = nullptr;
    ~Module() {
        if (handle != nullptr)
            FreeLibrary(handle);
    }
};

std::unique_ptr<FamilyTables> FamilyTables::Load(const std::string& driverName) {
    auto module = std::make_unique<Module>();
    module->handle = LoadLibraryA((driverName + ".dll").c_str());
    if (module->handle == nullptr)
        return nullptr;
    module->boardInfo =
        reinterpret_cast<BoardInfoProcExProc>(GetProcAddress(module->handle, kBoardInfoProcExName));
    module->personality = reinterpret_cast<PersonalityProcExProc>(
        GetProcAddress(module->handle, kPersonalityProcExName));
    if (module->boardInfo == nullptr || module->personality == nullptr)
        return nullptr;
    return std::unique_ptr<FamilyTables>(new FamilyTables(std::move(module)));
}

FamilyTables::FamilyTables(std::unique_ptr<Module> module) : module_(std::move(module)) {}
FamilyTables::~FamilyTables() = default;

bool FamilyTables::Model(std::uint32_t boardType, std::string* modelName,
                         SubsystemCountsArray* counts) const {
    LPCSTR name = nullptr;
    const SubsystemCounts* found = nullptr;
    if (!module_->boardInfo(boardType, "", &name, &found) || found == nullptr)
        return false;
    *modelName = name != nullptr ? name : "";
    for (std::size_t i = 0; i < counts->size(); ++i)
        (*counts)[i] = found->count[i];
    return true;
}

bool FamilyTables::Subsystem(std::uint32_t boardType, std::uint32_t type, std::uint32_t element,
                             SubsystemTables* tables) const {
    PersonalityRecord record{};
    if (!module_->personality(boardType, "", type, element, &record))
        return false;
    auto capability = [&](std::uint32_t code) {
        return CapabilityEntry(record.capabilities, CapabilityEntryOfCode(code));
    };
    tables->singleEndedChannels = capability(HXSSC_NUMSECHANNELS);
    tables->differentialChannels = capability(HXSSC_NUMDICHANNELS);
    tables->channels = capability(HXSSC_NUMCHANNELS);
    tables->listSize = capability(HXSSC_LISTSIZE);
    tables->extraChannel = capability(HXSSC_EXTRACHANNEL);
    tables->twosComplement = capability(HXSSC_ENCODING_TWOSCOMP) != 0;
    if (capability(HXSSC_NUMRESOLUTIONS) > 0 && record.resolutions != nullptr)
        tables->resolutionBits = static_cast<std::uint32_t>(record.resolutions[0]);
    // The range cells are read at once: what they point at is only promised until the next call.
    if (capability(HXSSC_NUMRANGES) > 0 && record.rangeMinima != nullptr &&
        record.rangeMaxima != nullptr && *record.rangeMinima != nullptr &&
        *record.rangeMaxima != nullptr) {
        tables->rangeMinimum = (*record.rangeMinima)[0];
        tables->rangeMaximum = (*record.rangeMaxima)[0];
        tables->hasRange = true;
    }
    if (record.clockLimits != nullptr) {
        tables->minClock = record.clockLimits->minClockFrequency;
        tables->maxClock = record.clockLimits->maxClockFrequency;
        tables->minRetrigger = record.clockLimits->minRetriggerFrequency;
        tables->maxRetrigger = record.clockLimits->maxRetriggerFrequency;
    }
    return true;
}

}  // namespace sim
