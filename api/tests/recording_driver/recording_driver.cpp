#include "recording_driver.h"

#include <cstring>
#include <mutex>
#include <set>

#include "kernel/loader.h"
#include "kernel/wdm.h"

namespace recorder {
namespace {

std::mutex g_mutex;
std::vector<Request> g_requests;
std::map<std::uint32_t, Answer> g_answers;
std::multiset<std::u16string> g_open;
PDRIVER_OBJECT g_driver = nullptr;

std::u16string FileNameOf(PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const UNICODE_STRING& name = stack->FileObject->FileName;
    return std::u16string(name.Buffer, name.Length / sizeof(WCHAR));
}

NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

DRIVER_DISPATCH DispatchCreate, DispatchClose, DispatchCleanup, DispatchControl;

NTSTATUS DispatchCreate(PDEVICE_OBJECT, PIRP irp) {
    const std::u16string name = FileNameOf(irp);
    std::lock_guard guard(g_mutex);
    if (!name.empty() && g_open.count(name) != 0)
        return Complete(irp, STATUS_ACCESS_DENIED, 0);
    g_open.insert(name);
    return Complete(irp, STATUS_SUCCESS, 0);
}

NTSTATUS DispatchCleanup(PDEVICE_OBJECT, PIRP irp) {
    return Complete(irp, STATUS_SUCCESS, 0);
}

NTSTATUS DispatchClose(PDEVICE_OBJECT, PIRP irp) {
    const std::u16string name = FileNameOf(irp);
    std::lock_guard guard(g_mutex);
    if (auto found = g_open.find(name); found != g_open.end())
        g_open.erase(found);
    return Complete(irp, STATUS_SUCCESS, 0);
}

NTSTATUS DispatchControl(PDEVICE_OBJECT, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const auto& parameters = stack->Parameters.DeviceIoControl;
    auto* buffer = static_cast<std::uint8_t*>(irp->AssociatedIrp.SystemBuffer);
    Request request{FileNameOf(irp), parameters.IoControlCode, {}, parameters.OutputBufferLength};
    if (buffer)
        request.input.assign(buffer, buffer + parameters.InputBufferLength);
    Answer answer;
    {
        std::lock_guard guard(g_mutex);
        g_requests.push_back(request);
        if (auto found = g_answers.find(parameters.IoControlCode); found != g_answers.end())
            answer = found->second;
    }
    if (answer.failure != 0)
        return Complete(irp, answer.failure, 0);
    if (buffer && parameters.OutputBufferLength >= 16) {
        std::memcpy(buffer + 12, &answer.status, 4);
        for (const auto& [offset, value] : answer.words)
            if (offset + 4 <= parameters.OutputBufferLength)
                std::memcpy(buffer + offset, &value, 4);
    }
    return Complete(irp, STATUS_SUCCESS, parameters.OutputBufferLength);
}

DRIVER_UNLOAD UnloadDriver;
void UnloadDriver(PDRIVER_OBJECT driver) {
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, u"\\DosDevices\\HxdaRec");
    IoDeleteSymbolicLink(&link);
    while (driver->DeviceObject)
        IoDeleteDevice(driver->DeviceObject);
}

DRIVER_INITIALIZE DriverEntry;
NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreate;
    driver->MajorFunction[IRP_MJ_CLEANUP] = DispatchCleanup;
    driver->MajorFunction[IRP_MJ_CLOSE] = DispatchClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchControl;
    driver->DriverUnload = UnloadDriver;
    UNICODE_STRING deviceName, link;
    RtlInitUnicodeString(&deviceName, u"\\Device\\HxdaRecorder");
    RtlInitUnicodeString(&link, u"\\DosDevices\\HxdaRec");
    PDEVICE_OBJECT device = nullptr;
    NTSTATUS status =
        IoCreateDevice(driver, 0, &deviceName, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
    if (!NT_SUCCESS(status))
        return status;
    device->Flags |= DO_BUFFERED_IO;
    status = IoCreateSymbolicLink(&link, &deviceName);
    if (!NT_SUCCESS(status))
        IoDeleteDevice(device);
    return status;
}

}  // namespace

std::int32_t InvalidParameter() {
    return STATUS_INVALID_PARAMETER;
}

std::int32_t Load() {
    {
        std::lock_guard guard(g_mutex);
        g_requests.clear();
        g_answers.clear();
        g_open.clear();
    }
    return kernel::LoadDriver(u"HxdaRecorder", DriverEntry, u"\\Registry\\Machine\\HxdaRecorder",
                              &g_driver);
}

void Unload() {
    if (g_driver)
        kernel::UnloadDriver(g_driver);
    g_driver = nullptr;
}

void SetAnswer(std::uint32_t code, Answer answer) {
    std::lock_guard guard(g_mutex);
    g_answers[code] = std::move(answer);
}

std::vector<Request> Requests() {
    std::lock_guard guard(g_mutex);
    return g_requests;
}

void ClearRequests() {
    std::lock_guard guard(g_mutex);
    g_requests.clear();
}

}  // namespace recorder
