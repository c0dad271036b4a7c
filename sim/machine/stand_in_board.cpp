// A stand-in board on the machine's own bus.
#include "stand_in_board.h"

namespace sim {
namespace {

class StandInBoard final : public PluggedBoard {
  public:
    explicit StandInBoard(PDEVICE_OBJECT physical) : physical_(physical) {}
    ~StandInBoard() override { DeletePhysicalDevice(physical_); }

    PDEVICE_OBJECT physical() const override { return physical_; }
    void SetSignals(const std::map<ChannelKey, Signal>& signals) override {
        BoardOfPhysicalDevice(physical_)->SetSignals(signals);
    }
    void PullOut() override { sim::PullOut(physical_); }
    bool IsPluggedIn() const override { return sim::IsPluggedIn(physical_); }
    NTSTATUS RequestRemoval() override { return kernel::pnp::RequestRemoval(physical_).get(); }
    void Unplug() override { sim::Unplug(physical_); }
    bool StackRemoved() const override { return sim::StackRemoved(physical_); }
    bool InjectFault(std::uint32_t type, std::uint32_t element, InjectedFault fault) override {
        return sim::InjectFault(physical_, type, element, fault);
    }
    bool FailRegisterReads(std::uint32_t number) override {
        BoardOfPhysicalDevice(physical_)->FailRegisterReads(number);
        return true;
    }

  private:
    PDEVICE_OBJECT physical_;
};

}  // namespace

NTSTATUS StandInPlugger::PlugIn(const BoardDescription& board,
                                std::unique_ptr<PluggedBoard>* plugged) {
    PDEVICE_OBJECT physical = nullptr;
    const NTSTATUS status = sim::PlugIn(bus_, driver_, board, nextIndex_++, log_, &physical);
    if (NT_SUCCESS(status))
        *plugged = std::make_unique<StandInBoard>(physical);
    return status;
}

}  // namespace sim
