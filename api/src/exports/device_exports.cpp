// Exported board requests on the board's device: registers, calibration potentiometers and
// hardware information. Each answers HXINVALIDDEVHANDLE for a handle that is not a live device
// handle, and the driver's status otherwise (HXGENERALFAILURE when the request cannot be
// delivered).
#include <cstring>

#include "core/engine.h"
#include "driver/driver_requests.h"
#include "hxda/api_status.h"
#include "hxda/request_codes.h"

using namespace hxda;

extern "C" HXSTATUS HXAPI hxDiagWriteReg(HDEV hDev, UINT registerNumber, UINT value, UINT size) {
    const auto device = findDevice(hDev);
    if (!device)
        return HXINVALIDDEVHANDLE;
    DriverRequest request = makeRequest();
    request.parameters.registerAccess = {registerNumber, value, size};
    return sendDeviceRequest(*device, IOCTL_HXDA_WRITEREG, request).code();
}

extern "C" HXSTATUS HXAPI hxDiagReadReg(HDEV hDev, UINT registerNumber, UINT* value, UINT size) {
    const auto device = findDevice(hDev);
    if (!device)
        return HXINVALIDDEVHANDLE;
    DriverRequest request = makeRequest();
    request.parameters.registerAccess = {registerNumber, 0, size};
    const ApiStatus status = sendDeviceRequest(*device, IOCTL_HXDA_READREG, request);
    if (status == HXNOERROR && value)
        *value = request.parameters.registerAccess.value;
    return status.code();
}

extern "C" HXSTATUS HXAPI hxDiagWriteCalPot(HDEV hDev, UINT potentiometer, UINT selector,
                                            UINT element, UINT value) {
    const auto device = findDevice(hDev);
    if (!device)
        return HXINVALIDDEVHANDLE;
    DriverRequest request = makeRequest();
    request.parameters.calPot = {potentiometer, selector, element, value};
    return sendDeviceRequest(*device, IOCTL_HXDA_WRITECALPOT, request).code();
}

extern "C" HXSTATUS HXAPI hxDiagReadCalPot(HDEV hDev, UINT potentiometer, UINT selector,
                                           UINT element, UINT* value) {
    const auto device = findDevice(hDev);
    if (!device)
        return HXINVALIDDEVHANDLE;
    DriverRequest request = makeRequest();
    request.parameters.calPot = {potentiometer, selector, element, 0};
    const ApiStatus status = sendDeviceRequest(*device, IOCTL_HXDA_READCALPOT, request);
    if (status == HXNOERROR && value)
        *value = request.parameters.calPot.value;
    return status.code();
}

extern "C" HXSTATUS HXAPI hxDaSetHardwareInfo(HDEV hDev, WORD wordA, WORD wordB, WORD wordC,
                                              UINT serialNumber, UINT trailingWord,
                                              const BYTE* block) {
    const auto device = findDevice(hDev);
    if (!device)
        return HXINVALIDDEVHANDLE;
    DriverRequest request = makeRequest();
    HardwareInfoParameters& info = request.parameters.hardwareInfo;
    info.wordA = wordA;
    info.wordB = wordB;
    info.wordC = wordC;
    info.serialNumber = serialNumber;
    info.trailingWord = trailingWord;
    if (block)
        std::memcpy(info.block, block, sizeof info.block);
    return sendDeviceRequest(*device, IOCTL_HXDA_SETHWINFO, request).code();
}

extern "C" HXSTATUS HXAPI hxDaGetHardwareInfo(HDEV hDev, UINT* leadingWord, WORD* wordA,
                                              WORD* wordB, WORD* wordC, UINT* serialNumber,
                                              UINT* trailingWord, BYTE* block) {
    const auto device = findDevice(hDev);
    if (!device)
        return HXINVALIDDEVHANDLE;
    DriverRequest request = makeRequest();
    const ApiStatus status = sendDeviceRequest(*device, IOCTL_HXDA_GETHWINFO, request);
    if (status != HXNOERROR)
        return status.code();
    const HardwareInfoParameters& info = request.parameters.hardwareInfo;
    if (leadingWord)
        *leadingWord = info.leadingWord;
    if (wordA)
        *wordA = info.wordA;
    if (wordB)
        *wordB = info.wordB;
    if (wordC)
        *wordC = info.wordC;
    if (serialNumber)
        *serialNumber = info.serialNumber;
    if (trailingWord)
        *trailingWord = info.trailingWord;
    if (block)
        std::memcpy(block, info.block, sizeof info.block);
    return HXNOERROR;
}
