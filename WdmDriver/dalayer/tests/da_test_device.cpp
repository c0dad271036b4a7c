#include "da_test_device.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "framework/pool.h"
#include "kernel/loader.h"
#include "kernel/machine.h"
#include "kernel/testing.h"

namespace dalayer_test {

using dalayer::DaRequest;

namespace {

const char* const kOps[] = {
    "ReadEvents",
    "SetSingleValue",
    "GetSingleValue",
    "Configure",
    "Start",
    "Stop",
    "Reset",
    "Abort",
    "PreStart",
    "FlushInProcess",
    "SimultaneousStart",
    "SetHardwareInfo",
    "GetHardwareInfo",
    "WriteRegister",
    "ReadRegister",
    "WriteCalPot",
    "ReadCalPot",
    "ReservedRequest",
};

std::string Where(ULONG type, ULONG element) {
    return std::to_string(type) + ":" + std::to_string(element);
}

NTSTATUS Entry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    for (auto& entry : driver->MajorFunction)
        entry = wdm::KernelDeviceBase::DispatchEntry;
    return STATUS_SUCCESS;
}

}  // namespace

ULONG StatusOf(const std::string& op) {
    for (ULONG i = 0; i < std::size(kOps); ++i)
        if (op == kOps[i])
            return 100 + i;
    return 0xFFFFFFFF;
}

// ---- FakeStatusPipe ----------------------------------------------------------------------------

NTSTATUS FakeStatusPipe::PostStatusRead() {
    if (refusePosts)
        return STATUS_INSUFFICIENT_RESOURCES;
    const int now = ++outstanding_;
    int most = most_.load();
    while (now > most && !most_.compare_exchange_weak(most, now)) {
    }
    return STATUS_SUCCESS;
}

bool FakeStatusPipe::TakeOne() {
    int count = outstanding_.load();
    while (count > 0 && !outstanding_.compare_exchange_weak(count, count - 1)) {
    }
    return count > 0;
}

void FakeStatusPipe::AbortStatusPipe() {
    ++aborts_;
    while (TakeOne())
        device_->StatusReadReturned(false);
}

bool FakeStatusPipe::DeliverMessage(USHORT type, USHORT flags) {
    if (!TakeOne())
        return false;
    device_->RouteStatusMessage(type, flags);
    device_->StatusReadReturned(true);
    return true;
}

bool FakeStatusPipe::FailRead() {
    if (!TakeOne())
        return false;
    device_->StatusReadReturned(false);
    return true;
}

// ---- RecordingSubsystem ------------------------------------------------------------------------

RecordingSubsystem::RecordingSubsystem(dalayer::DaDevice* device, Log* log, ULONG type,
                                       ULONG element, bool pendStops)
    : DaSubsystem(device, type, element),
      log_(log),
      pendStops_(pendStops),
      reads_(device),
      events_(device) {}

RecordingSubsystem::~RecordingSubsystem() {
    log_->Add("Destroy " + Where(Type(), Element()));
}

ULONG RecordingSubsystem::ListCapacity() const {
    return Type() == HXSS_AD ? 1024 : Type() == HXSS_DA ? 5 : 0;
}

hxda::ApiStatus RecordingSubsystem::Note(const char* op, DaRequest& request) {
    log_->Add(std::string(op) + " " + Where(Type(), Element()));
    return hxda::ApiStatus::FromCode(StatusOf(op));
}

hxda::ApiStatus RecordingSubsystem::Configure(DaRequest& request) {
    // Touches every entry the dispatch vouched for, as a real configure copies them.
    ULONG sum = 0;
    for (ULONG i = 0; i < request.ListEntries(); ++i)
        sum += hxda::listEntry(&request.Block(), i)->channel;
    log_->Add("Configure " + Where(Type(), Element()) + " entries " +
              std::to_string(request.ListEntries()) + " sum " + std::to_string(sum));
    return hxda::ApiStatus::FromCode(StatusOf("Configure"));
}

hxda::ApiStatus RecordingSubsystem::Stop(DaRequest& request) {
    if (pendStops_) {
        request.Pend();
        pendedStop_ = request.Irp();
    }
    return Note("Stop", request);
}

hxda::ApiStatus RecordingSubsystem::FlushInProcess(DaRequest& request) {
    // Delivers up to 10 bytes 0xA5, and claims 10 whatever the room.
    if (auto* out = static_cast<unsigned char*>(request.DirectOutput()))
        std::memset(out, 0xA5, std::min<ULONG>(10, request.OutputLength()));
    request.SetInformation(10);
    return Note("FlushInProcess", request);
}

void RecordingSubsystem::CancelAll(PFILE_OBJECT file) {
    log_->Add("CancelAll " + Where(Type(), Element()));
    reads_.CancelAll(file);
    if (reads_.ClaimCurrent() != nullptr)
        reads_.CompleteCurrentAndStartNext(STATUS_CANCELLED, 0);
    events_.CancelAll(file);
}

void RecordingSubsystem::PostEvent(dalayer::SubsystemEvent event, ULONG data) {
    log_->Add("PostEvent " + Where(Type(), Element()) + " " + EventName(event) + " " +
              std::to_string(data));
    events_.Post(event, data);
}

// ---- TestDaDevice ------------------------------------------------------------------------------

dalayer::DaSubsystem* TestDaDevice::CreateSubsystem(ULONG type, ULONG element) {
    if (type == HXSS_SRL)
        return nullptr;
    auto* object = new (std::nothrow) RecordingSubsystem(this, log_, type, element, pendStops);
    if (object != nullptr && constructionError != STATUS_SUCCESS)
        object->SetErrorForTest(constructionError);
    log_->Add("Create " + Where(type, element));
    return object;
}

hxda::ApiStatus TestDaDevice::Note(const char* op) {
    log_->Add(op);
    return hxda::ApiStatus::FromCode(StatusOf(op));
}

RecordingSubsystem* TestDaDevice::Find(ULONG type, ULONG element) {
    RecordingSubsystem* found = nullptr;
    WithSubsystem(type, element,
                  [&](dalayer::DaSubsystem& o) { found = static_cast<RecordingSubsystem*>(&o); });
    return found;
}

// ---- Outcome -----------------------------------------------------------------------------------

kernel::user_io::CompletionCallback Outcome::Callback() {
    return [this](const kernel::user_io::Completion& c) {
        status = c.status;
        information = c.information;
        ++completions;
    };
}

bool Outcome::WaitCompleted(int milliseconds) const {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (completions.load() == 0) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// ---- DaDeviceTest ------------------------------------------------------------------------------

void DaDeviceTest::SetUp() {
    kernel::machine::SetBootEnabled(false);
    ASSERT_EQ(kernel::LoadDriver(u"dalayertest", Entry, u"", &driver_), STATUS_SUCCESS);
    device_ = new TestDaDevice(&log_);
    ASSERT_EQ(device_->CreateDeviceObject(driver_, u"\\Device\\DaTest0", DO_DIRECT_IO),
              STATUS_SUCCESS);
    ASSERT_EQ(device_->CreateLink(u"\\DosDevices\\DaTest0"), STATUS_SUCCESS);
    device_->DeviceObject()->Flags &= ~static_cast<ULONG>(DO_DEVICE_INITIALIZING);
}

void DaDeviceTest::TearDown() {
    EXPECT_TRUE(kernel::testing::DrainDeferredCloses());
    EXPECT_EQ(kernel::testing::OpenFileObjects(), 0u);
    EXPECT_EQ(kernel::testing::OutstandingUserRequests(), 0u);
    if (device_ != nullptr) {
        EXPECT_EQ(device_->OpenSubsystemCount(), 0u);
        EXPECT_EQ(device_->BusyCount(), 1);
        device_->Destroy();
    }
    kernel::UnloadDriver(driver_);
    EXPECT_EQ(kernel::testing::LiveDevices(), 0u);
    EXPECT_EQ(kernel::testing::PoolOutstanding(wdm::kPoolTag), kernel::testing::PoolUsage{});
}

std::int32_t DaDeviceTest::OpenStatus(const std::string& name) {
    const auto result = kernel::user_io::Open("\\\\.\\DaTest0" + name, 0xC0000000u, kIssuer);
    if (result.status == STATUS_SUCCESS)
        kernel::user_io::Close(result.file);
    return result.status;
}

kernel::user_io::FileId DaDeviceTest::Open(const std::string& name, std::int32_t expected) {
    const auto result = kernel::user_io::Open("\\\\.\\DaTest0" + name, 0xC0000000u, kIssuer);
    EXPECT_EQ(result.status, expected) << name;
    return result.file;
}

void DaDeviceTest::Close(kernel::user_io::FileId file) {
    kernel::user_io::Close(file);
    EXPECT_TRUE(kernel::testing::DrainDeferredCloses());
}

void DaDeviceTest::Submit(kernel::user_io::FileId file, const kernel::user_io::Request& request,
                          Outcome* outcome) {
    outcome->submitted = kernel::user_io::Submit(file, kIssuer, request, outcome->Callback());
}

void DaDeviceTest::Control(kernel::user_io::FileId file, std::uint32_t code, const void* input,
                           std::uint32_t inputLength, void* output, std::uint32_t outputLength,
                           Outcome* outcome) {
    Submit(
        file,
        {kernel::user_io::Operation::DeviceControl, code, input, inputLength, output, outputLength},
        outcome);
    EXPECT_TRUE(outcome->WaitCompleted()) << std::hex << code;
}

std::string EventName(dalayer::SubsystemEvent event) {
    using dalayer::SubsystemEvent;
    switch (event) {
        case SubsystemEvent::kDeviceRemoved:
            return "device-removed";
        case SubsystemEvent::kTrigger:
            return "trigger";
        case SubsystemEvent::kEventDone:
            return "event-done";
        case SubsystemEvent::kBufferReused:
            return "buffer-reused";
        case SubsystemEvent::kEventValue:
            return "event-value";
        case SubsystemEvent::kIoComplete:
            return "io-complete";
        case SubsystemEvent::kOverrun:
            return "overrun";
        case SubsystemEvent::kUnderrun:
            return "underrun";
        case SubsystemEvent::kEventError:
            return "event-error";
        case SubsystemEvent::kTriggerError:
            return "trigger-error";
        case SubsystemEvent::kBoardReady:
            return "board-ready";
        case SubsystemEvent::kStreamRecovery:
            return "stream-recovery";
    }
    return "?";
}

}  // namespace dalayer_test
