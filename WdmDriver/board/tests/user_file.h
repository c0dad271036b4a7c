// User-mode file calls on a board device for the tests: open, device control and reads through
// the I/O manager's user boundary, each waited for with a bound.
#pragma once

#include <chrono>
#include <cstring>
#include <future>
#include <memory>
#include <string>

#include "clock_waits.h"
#include "hxda/driver_request.h"
#include "kernel/io_user.h"

namespace board_test {

struct Answer {
    std::int32_t status = -1;  // IoStatus.Status, or STATUS_TIMEOUT-like -1 when nothing came
    std::uint64_t information = 0;
};

class UserFile {
  public:
    static constexpr std::uint32_t kAnyAccess = 0xC0000000;
    static constexpr kernel::user_io::IssuerId kIssuer = 7;

    // Opens "\\.\MQ5120<n><rest>"; Status() tells how the create went.
    explicit UserFile(const std::string& path) {
        const auto result = kernel::user_io::Open(path, kAnyAccess, kIssuer);
        status_ = result.status;
        file_ = result.file;
    }
    ~UserFile() { Close(); }
    UserFile(const UserFile&) = delete;
    UserFile& operator=(const UserFile&) = delete;

    std::int32_t Status() const { return status_; }
    // Cancels every request of this file still outstanding.
    void CancelRequests() { kernel::user_io::CancelRequests(file_, kIssuer); }
    void Close() {
        if (file_ != 0)
            kernel::user_io::Close(file_);
        file_ = 0;
    }

    // A device-control request with the same buffer as input and output.
    Answer Control(std::uint32_t code, void* buffer, std::uint32_t length,
                   std::chrono::milliseconds bound = std::chrono::seconds(10)) {
        kernel::user_io::Request request;
        request.operation = kernel::user_io::Operation::DeviceControl;
        request.controlCode = code;
        request.input = buffer;
        request.inputLength = length;
        request.output = buffer;
        request.outputLength = length;
        return Wait(Send(request), bound);
    }
    Answer Control(std::uint32_t code, hxda::DriverRequest& record) {
        return Control(code, &record, sizeof record);
    }

    // Sends a request and returns the future of its completion.
    std::shared_future<Answer> Send(const kernel::user_io::Request& request) {
        auto promise = std::make_shared<std::promise<Answer>>();
        std::shared_future<Answer> done = promise->get_future().share();
        const std::int32_t sent = kernel::user_io::Submit(
            file_, kIssuer, request, [promise](const kernel::user_io::Completion& c) {
                promise->set_value({c.status, c.information});
            });
        (void)sent;
        return done;
    }
    // A read of length bytes into buffer.
    std::shared_future<Answer> Read(void* buffer, std::uint32_t length) {
        kernel::user_io::Request request;
        request.operation = kernel::user_io::Operation::Read;
        request.output = buffer;
        request.outputLength = length;
        return Send(request);
    }
    static Answer Wait(const std::shared_future<Answer>& done, std::chrono::milliseconds bound) {
        if (!ReadyWithin(done, bound))
            return {};
        return done.get();
    }

  private:
    std::int32_t status_ = -1;
    kernel::user_io::FileId file_ = 0;
};

inline hxda::DriverRequest Record(std::uint32_t type = 0, std::uint32_t element = 0) {
    hxda::DriverRequest record;
    std::memset(&record, 0, sizeof record);
    record.subsystemType = type;
    record.element = element;
    return record;
}

}  // namespace board_test
