// Exported utilities: subsystem information and enumeration, frequency measurement,
// simultaneous-start lists and code/volts conversion.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "core/engine.h"
#include "hxda/api_status.h"
#include "hxda/request_codes.h"
#include "utility/conversion.h"
#include "utility/frequency_measurement.h"
#include "utility/ss_lists.h"
#include "utility/versions.h"
#include "win32/pointer_checks.h"

using namespace hxda;

extern "C" HXSTATUS HXAPI hxDaGetDASSInfo(HDASS hDass, HXDASSINFO* info) {
    const std::shared_ptr<SubsystemRecord> subsystem = findSubsystem(hDass);
    if (!subsystem)
        return HXINVALIDSSHANDLE;
    if (info != nullptr)
        *info = {subsystem->device ? subsystem->device->self : 0, subsystem->type,
                 subsystem->element};
    return HXNOERROR;
}

extern "C" HXSTATUS HXAPI hxDaEnumSubSystems(HDEV hDev, SubsystemEnumProc proc, LPARAM user) {
    const std::shared_ptr<DeviceRecord> device = findDevice(hDev);
    if (!device)
        return HXINVALIDDEVHANDLE;
    if (IsBadCodePtr(reinterpret_cast<FARPROC>(proc)))
        return HXNULLENUMPROC;
    // The counts are read before the first call: a procedure may terminate the device, whose
    // extension library holds them.
    std::uint32_t counts[HXSS_CT + 1] = {};
    {
        std::lock_guard guard(device->lifetime);
        if (device->closed || device->subsystemCounts == nullptr)
            return HXNOERROR;
        std::copy(device->subsystemCounts, device->subsystemCounts + HXSS_CT + 1, counts);
    }
    for (std::uint32_t type = HXSS_AD; type <= HXSS_CT; ++type) {
        for (std::uint32_t element = 0; element < counts[type]; ++element) {
            char name[32];
            std::snprintf(name, sizeof name, "%s Unit %d", kSubsystemFileWords[type],
                          static_cast<int>(element));
            if (!proc(name, static_cast<hxss_tag>(type), element, user))
                return HXNOERROR;
        }
    }
    return HXNOERROR;
}

extern "C" HXSTATUS HXAPI hxDaMeasureFrequency(HDASS hDass, HWND window, double gateSeconds) {
    return measureFrequency(hDass, window, gateSeconds).code();
}

extern "C" HXSTATUS HXAPI hxDaCodeToVolts(double minimum, double maximum, double gain,
                                          UINT resolution, UINT encoding, INT code, double* volts) {
    const ApiStatus status = checkConversion(minimum, maximum, gain, resolution, encoding);
    if (status == HXNOERROR && volts != nullptr)
        *volts = codeToVolts(minimum, maximum, gain, resolution, encoding, code);
    return status.code();
}

extern "C" HXSTATUS HXAPI hxDaVoltsToCode(double minimum, double maximum, double gain,
                                          UINT resolution, UINT encoding, double volts, INT* code) {
    const ApiStatus status = checkConversion(minimum, maximum, gain, resolution, encoding);
    if (status == HXNOERROR && code != nullptr)
        *code = voltsToCode(minimum, maximum, gain, resolution, encoding, volts);
    return status.code();
}

// ---- Simultaneous start ------------------------------------------------------------------------

namespace {

// The members of a live list, each checked: 102 bad list, 104 empty, 103 a member released.
ApiStatus liveMembers(HSSLIST list, std::vector<HDASS>* members) {
    const std::shared_ptr<SimultaneousStartList> record = simultaneousStartLists().find(list);
    if (!record)
        return HXINVALIDSSLIST;
    {
        std::lock_guard guard(record->mutex);
        *members = record->members;
    }
    if (members->empty())
        return HXEMPTYSSLIST;
    for (const HDASS member : *members)
        if (!findSubsystem(member))
            return HXINVALIDSSLISTMEMBER;
    return HXNOERROR;
}

ApiStatus startEach(HSSLIST list, std::uint32_t code) {
    const CallDeadline deadline;  // one for the whole list
    std::vector<HDASS> members;
    if (const ApiStatus status = liveMembers(list, &members); status != HXNOERROR)
        return status;
    for (const HDASS member : members) {
        MessageRecord message;
        if (const ApiStatus status = engineCall(member, code, message); status != HXNOERROR)
            return status;
    }
    return HXNOERROR;
}

}  // namespace

extern "C" HXSTATUS HXAPI hxDaGetSSList(HSSLIST* list) {
    if (list == nullptr)
        return HXCANTALLOCSSLIST;
    const HSSLIST token = simultaneousStartLists().add(std::make_shared<SimultaneousStartList>());
    if (token == 0)
        return HXCANTALLOCSSLIST;
    *list = token;
    return HXNOERROR;
}

extern "C" HXSTATUS HXAPI hxDaReleaseSSList(HSSLIST list) {
    return simultaneousStartLists().remove(list) ? HXNOERROR : HXINVALIDSSLIST;
}

extern "C" HXSTATUS HXAPI hxDaPutDassToSSList(HSSLIST list, HDASS hDass) {
    const std::shared_ptr<SimultaneousStartList> record = simultaneousStartLists().find(list);
    if (!record)
        return HXINVALIDSSLIST;
    const std::shared_ptr<SubsystemRecord> subsystem = findSubsystem(hDass);
    if (!subsystem)
        return HXINVALIDSSHANDLE;
    UINT simultaneous = 0;
    if (hxDaGetSSCaps(hDass, HXSSC_SIMULTANEOUSSTART, &simultaneous) != HXNOERROR ||
        simultaneous == 0)
        return HXNOTSUPPORTED;
    std::lock_guard guard(record->mutex);
    for (const HDASS member : record->members)
        if (member == hDass)
            return HXALREADYONSSLIST;
    record->members.push_back(hDass);
    return HXNOERROR;
}

extern "C" HXSTATUS HXAPI hxDaSimultaneousPrestart(HSSLIST list) {
    return startEach(list, HXDRV_PRESTART).code();
}

extern "C" HXSTATUS HXAPI hxDaSimultaneousStart(HSSLIST list) {
    return startEach(list, HXDRV_SIMULSTART).code();
}

extern "C" HXSTATUS HXAPI hxDaEnumSSList(HSSLIST list, SSListEnumProc proc, LPARAM user) {
    std::vector<HDASS> members;
    if (const ApiStatus status = liveMembers(list, &members); status != HXNOERROR)
        return status.code();
    if (IsBadCodePtr(reinterpret_cast<FARPROC>(proc)))
        return HXNOERROR;  // every member is skipped
    for (const HDASS member : members)
        if (!proc(list, member, user))
            break;
    return HXNOERROR;
}

// ---- Versions ----------------------------------------------------------------------------------

namespace {

// Copies `text` cut to size - 1 characters and terminated; nothing for a size of 0.
void copyCut(const std::string& text, LPSTR buffer, UINT size) {
    const std::size_t length = std::min<std::size_t>(text.size(), size - 1);
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
}

}  // namespace

extern "C" HXSTATUS HXAPI hxDaGetVersion(LPSTR buffer, UINT size) {
    if (size == 0 || IsBadWritePtr(buffer, size))
        return HXNULLSTRING;
    std::string version;
    if (!fileVersionString("hxdaapi32.dll", &version))
        return HXGENERALFAILURE;
    copyCut(version, buffer, size);
    return HXNOERROR;
}

extern "C" HXSTATUS HXAPI hxDaGetDriverVersion(HDEV hDev, LPSTR buffer, UINT size) {
    const std::shared_ptr<DeviceRecord> device = findDevice(hDev);
    if (!device)
        return HXINVALIDDEVHANDLE;
    if (size == 0 || IsBadWritePtr(buffer, size))
        return HXNULLSTRING;
    std::string version;
    if (!fileVersionString(driverFilePath(*device), &version))
        return HXGENERALFAILURE;
    copyCut(version, buffer, size);
    return HXNOERROR;
}
