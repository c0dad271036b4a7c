// A separate program for the tests, on the machine of MQ_MACHINE:
//   api_open_board_child <board>            opens the board and exits with the library's status;
//   api_open_board_child <board> streaming  starts a continuous acquisition on the board's A/D and
//                                           returns from main while it runs, leaving the library
//                                           to close everything as the process exits.
#include <chrono>
#include <string>
#include <thread>

#include "hxdaapi32.h"
#include "hxmem32.h"

namespace {

bool startStreaming(HDEV hDev) {
    HDASS hDass = 0;
    if (hxDaGetDASS(hDev, HXSS_AD, 0, &hDass) != HXNOERROR ||
        hxDaSetDataFlow(hDass, HXDF_CONTINUOUS) != HXNOERROR ||
        hxDaSetClockFrequency(hDass, 100000.0) != HXNOERROR || hxDaConfig(hDass) != HXNOERROR)
        return false;
    for (int i = 0; i < 4; ++i) {
        HBUF buffer = 0;
        if (hxDmAllocBuffer(0, 10000, &buffer) != 0 || hxDaPutBuffer(hDass, buffer) != HXNOERROR)
            return false;
    }
    if (hxDaStart(hDass) != HXNOERROR)
        return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(150));  // a buffer or so is done
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && !(argc == 3 && std::string(argv[2]) == "streaming"))
        return 2;
    HDEV hDev = 0;
    const HXSTATUS status = hxDaInitialize(argv[1], &hDev);
    if (status != HXNOERROR)
        return 1;
    if (argc == 3)
        return startStreaming(hDev) ? 0 : 3;
    hxDaTerminate(hDev);
    return 0;
}
