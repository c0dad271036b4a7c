// `LockedList`: an intrusive doubly linked list of elements that carry their own LIST_ENTRY at a
// fixed offset, with its own lock. Each operation comes in an unlocked form (the caller holds the
// lock, or needs none) and a locked form (suffix Locked) that takes the lock around it.
// BasicList<NoLock> is the same list for owners that need no lock. RequestList links IRPs through
// the entry the IRP reserves for its current owner.
#pragma once

#include <cstddef>

#include "framework/spin_lock.h"
#include "kernel/wdm.h"

namespace wdm {

template <class Lock>
class BasicList {
  public:
    explicit BasicList(std::size_t linkOffset) : offset_(linkOffset) { InitializeListHead(&head_); }
    BasicList(const BasicList&) = delete;
    BasicList& operator=(const BasicList&) = delete;

    void InsertTail(void* element) { InsertTailList(&head_, LinkOf(element)); }
    void Remove(void* element) { RemoveEntryList(LinkOf(element)); }
    // Null when empty.
    void* RemoveHead() { return IsEmpty() ? nullptr : ElementOf(RemoveHeadList(&head_)); }
    void* First() const { return IsEmpty() ? nullptr : ElementOf(head_.Flink); }
    // Null after the last.
    void* Next(void* element) const {
        PLIST_ENTRY next = LinkOf(element)->Flink;
        return next == &head_ ? nullptr : ElementOf(next);
    }
    void* Previous(void* element) const {
        PLIST_ENTRY previous = LinkOf(element)->Blink;
        return previous == &head_ ? nullptr : ElementOf(previous);
    }
    // The first element from `from` (the first of the list when null) on, forward or backward, for
    // which match(element) is true; null when none.
    template <class Match>
    void* Search(void* from, bool forward, Match match) const {
        void* element = from != nullptr ? from : (forward ? First() : Last());
        while (element != nullptr && !match(element))
            element = forward ? Next(element) : Previous(element);
        return element;
    }
    void* Last() const { return IsEmpty() ? nullptr : ElementOf(head_.Blink); }
    bool Contains(const void* element) const {
        for (PLIST_ENTRY entry = head_.Flink; entry != &head_; entry = entry->Flink)
            if (ElementOf(entry) == element)
                return true;
        return false;
    }
    std::size_t Count() const {
        std::size_t count = 0;
        for (PLIST_ENTRY entry = head_.Flink; entry != &head_; entry = entry->Flink)
            ++count;
        return count;
    }
    bool IsEmpty() const { return IsListEmpty(&head_); }
    void Reset() { InitializeListHead(&head_); }

    void InsertTailLocked(void* element) {
        LockHold<Lock> hold(lock_);
        InsertTail(element);
    }
    void RemoveLocked(void* element) {
        LockHold<Lock> hold(lock_);
        Remove(element);
    }
    void* RemoveHeadLocked() {
        LockHold<Lock> hold(lock_);
        return RemoveHead();
    }
    std::size_t CountLocked() {
        LockHold<Lock> hold(lock_);
        return Count();
    }
    bool IsEmptyLocked() {
        LockHold<Lock> hold(lock_);
        return IsEmpty();
    }

    Lock& GetLock() { return lock_; }

  private:
    PLIST_ENTRY LinkOf(const void* element) const {
        return reinterpret_cast<PLIST_ENTRY>(
            const_cast<char*>(static_cast<const char*>(element) + offset_));
    }
    void* ElementOf(const LIST_ENTRY* link) const {
        return const_cast<char*>(reinterpret_cast<const char*>(link) - offset_);
    }

    LIST_ENTRY head_;
    std::size_t offset_;
    Lock lock_;
};

using LockedList = BasicList<SpinLock>;
using UnlockedList = BasicList<NoLock>;

inline constexpr std::size_t kIrpLinkOffset = offsetof(IRP, Tail.Overlay.ListEntry);

// A list of requests, linked through Tail.Overlay.ListEntry.
class RequestList : public LockedList {
  public:
    RequestList() : LockedList(kIrpLinkOffset) {}
    PIRP FirstRequest() const { return static_cast<PIRP>(First()); }
    PIRP NextRequest(PIRP irp) const { return static_cast<PIRP>(Next(irp)); }
    PIRP RemoveHeadRequest() { return static_cast<PIRP>(RemoveHead()); }
};

}  // namespace wdm
