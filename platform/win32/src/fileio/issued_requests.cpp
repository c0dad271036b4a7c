#include "fileio/issued_requests.h"

namespace win32::detail {

IssuedRequests& IssuedRequests::Instance() {
    static auto* requests = new IssuedRequests;  // never destroyed: threads may exit after main
    return *requests;
}

void IssuedRequests::Add(IssuerId issuer, FileId file) {
    std::lock_guard lock(mutex_);
    ++counts_[{issuer, file}];
}

void IssuedRequests::Remove(IssuerId issuer, FileId file) {
    std::lock_guard lock(mutex_);
    auto it = counts_.find({issuer, file});
    if (it == counts_.end() || --it->second != 0)
        return;
    counts_.erase(it);
    if (waiting_ > 0)
        drained_.notify_all();
}

bool IssuedRequests::NoneLocked(IssuerId issuer, FileId file) const {
    if (file != 0)
        return counts_.find({issuer, file}) == counts_.end();
    auto first = counts_.lower_bound({issuer, 0});
    return first == counts_.end() || first->first.first != issuer;
}

bool IssuedRequests::WaitUntilNone(IssuerId issuer, FileId file, std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    ++waiting_;
    const bool none = drained_.wait_for(lock, limit, [&] { return NoneLocked(issuer, file); });
    --waiting_;
    return none;
}

}  // namespace win32::detail
