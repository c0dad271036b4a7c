// What a request queue needs of the device its requests belong to: the release of the busy count
// that the device's dispatch gate took for each request.
#pragma once

namespace wdm {

class BusyCounter {
  public:
    virtual void AcquireBusy() = 0;
    virtual void ReleaseBusy() = 0;

  protected:
    ~BusyCounter() = default;
};

}  // namespace wdm
