// A tiny bus driver for the Plug and Play manager's tests: it creates PDOs and completes the
// requests that reach them as a bus driver must, with hooks that make START or the cancels fail.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "kernel/wdm.h"
#include "seen_irp.h"

namespace pnp_test {

struct PdoHooks {
    NTSTATUS startStatus = STATUS_SUCCESS;
    NTSTATUS cancelStopStatus = STATUS_SUCCESS;
    NTSTATUS cancelRemoveStatus = STATUS_SUCCESS;
};

// Behind a PDO's extension.
struct PdoRecord {
    PdoHooks hooks;
    std::mutex mutex;
    std::vector<SeenIrp> seen;
};

class TestBus {
  public:
    TestBus();   // loads the bus driver
    ~TestBus();  // deletes the PDOs left and unloads it
    TestBus(const TestBus&) = delete;
    TestBus& operator=(const TestBus&) = delete;

    PDEVICE_OBJECT CreatePdo(PdoHooks hooks = {});
    void DeletePdo(PDEVICE_OBJECT pdo);
    std::vector<SeenIrp> Seen(PDEVICE_OBJECT pdo);
    // The minor codes of the PnP requests the PDO saw, in order.
    std::vector<UCHAR> PnpMinors(PDEVICE_OBJECT pdo);

  private:
    PDRIVER_OBJECT driver_ = nullptr;
    std::map<PDEVICE_OBJECT, std::unique_ptr<PdoRecord>> pdos_;
};

}  // namespace pnp_test
