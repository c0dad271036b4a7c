// A separate program for the tests: opens the board named by its argument through the library on
// the machine of MQ_MACHINE and exits with the library's status.
#include "hxdaapi32.h"

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    HDEV hDev = 0;
    const HXSTATUS status = hxDaInitialize(argv[1], &hDev);
    if (status == HXNOERROR)
        hxDaTerminate(hDev);
    return status == HXNOERROR ? 0 : 1;
}
