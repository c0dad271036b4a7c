// What a server module keeps for the runtime: its count of live objects and server locks (which
// DllCanUnloadNow answers from), reference counting, and errors raised by members.
//
// This library is linked statically into each server module with hidden symbols, so that every
// module counts its own objects.
#pragma once

#include <atomic>
#include <string>
#include <utility>

#include "com/base.h"

namespace com::server {

// The module's live objects and LockServer(TRUE) calls not yet undone.
class ModuleCounts {
  public:
    static void ObjectCreated() { objects_.fetch_add(1); }
    static void ObjectDestroyed() { objects_.fetch_sub(1); }
    static void Lock() { locks_.fetch_add(1); }
    static void Unlock() { locks_.fetch_sub(1); }
    // S_OK when nothing holds the module, else S_FALSE.
    static HRESULT CanUnloadNow() { return objects_ == 0 && locks_ == 0 ? S_OK : S_FALSE; }
    static long Objects() { return objects_; }

  private:
    static inline std::atomic<long> objects_{0};
    static inline std::atomic<long> locks_{0};
};

// A module object's reference count, counted among the module's objects while it lives. Starts
// at 1: whoever makes the object holds the first reference.
class RefCount {
  public:
    RefCount() { ModuleCounts::ObjectCreated(); }
    ~RefCount() { ModuleCounts::ObjectDestroyed(); }
    RefCount(const RefCount&) = delete;
    RefCount& operator=(const RefCount&) = delete;

    ULONG Add() { return ++count_; }
    // The new count; the caller frees the object at 0.
    ULONG Drop() { return --count_; }

  private:
    std::atomic<ULONG> count_{1};
};

// An error raised by a member of an automation interface (or by code it calls). Invoke answers
// DISP_E_EXCEPTION with it; outside a dispatch call, whoever catches it reports it its own way.
struct Error {
    HRESULT code;
    std::string description;
    DWORD helpContext = 0;
};

[[noreturn]] inline void Raise(HRESULT code, std::string description, DWORD helpContext = 0) {
    throw Error{code, std::move(description), helpContext};
}

// Fills *out with `object` as the interface asked for (with a reference), or answers
// E_NOINTERFACE with *out null.
template <typename Interface>
HRESULT Hand(Interface* object, void** out) {
    if (out == nullptr)
        return E_POINTER;
    *out = object;
    object->AddRef();
    return S_OK;
}

// A counted interface pointer: releases what it holds when it goes.
template <typename Interface>
class Ref {
  public:
    Ref() = default;
    // Adds a reference to what it is given.
    explicit Ref(Interface* pointer) : pointer_(pointer) {
        if (pointer_ != nullptr)
            pointer_->AddRef();
    }
    ~Ref() { reset(); }
    Ref(const Ref& other) : Ref(other.pointer_) {}
    Ref(Ref&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    Ref& operator=(Ref other) noexcept {
        std::swap(pointer_, other.pointer_);
        return *this;
    }

    // Takes over a reference the caller already owns.
    static Ref Adopt(Interface* pointer) {
        Ref ref;
        ref.pointer_ = pointer;
        return ref;
    }
    void reset() {
        if (pointer_ != nullptr)
            std::exchange(pointer_, nullptr)->Release();
    }
    Interface* get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    // For a call that writes an owned pointer: drops the held one first.
    Interface** out() {
        reset();
        return &pointer_;
    }
    void** outVoid() { return reinterpret_cast<void**>(out()); }

  private:
    Interface* pointer_ = nullptr;
};

}  // namespace com::server
