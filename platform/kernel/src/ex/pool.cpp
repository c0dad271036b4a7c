// Pool: host allocations with a header that records tag and size, entered in a per-tag ledger.
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/built_at_load.h"
#include "host/host.h"
#include "kernel/ex.h"
#include "kernel/ke.h"
#include "kernel/rules.h"
#include "kernel/testing.h"

namespace {

constexpr ULONG kLiveMagic = 0x506f6f6c;   // "Pool"
constexpr ULONG kFreedMagic = 0x46726565;  // "Free"

struct alignas(16) PoolHeader {
    ULONG tag;
    ULONG magic;
    SIZE_T bytes;
};

struct Ledger {
    kernel::host::Lock lock;
    std::map<std::uint32_t, kernel::testing::PoolUsage> usage;
    int failCountdown = 0;  // 0: no failure armed
    std::uint32_t failTag = 0;
};

Ledger& TheLedger() {
    static Ledger ledger;
    return ledger;
}
[[maybe_unused]] const bool kBuiltAtLoad = ::kernel::host::BuildAtLoad(&TheLedger);

std::string TagText(ULONG tag) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8)
        text += static_cast<char>((tag >> shift) & 0xff);
    return "'" + text + "'";
}

}  // namespace

PVOID ExAllocatePoolWithTag(POOL_TYPE type, SIZE_T bytes, ULONG tag) {
    if (type == PagedPool && KeGetCurrentIrql() >= DISPATCH_LEVEL)
        kernel::ReportRuleViolation("paged pool allocated at DISPATCH_LEVEL", TagText(tag));
    Ledger& ledger = TheLedger();
    {
        kernel::host::Guard guard(ledger.lock);
        if (ledger.failCountdown > 0 && (ledger.failTag == 0 || ledger.failTag == tag)) {
            if (--ledger.failCountdown == 0)
                return nullptr;
        }
    }
    auto* header = static_cast<PoolHeader*>(std::calloc(1, sizeof(PoolHeader) + bytes));
    if (header == nullptr)
        return nullptr;
    header->tag = tag;
    header->magic = kLiveMagic;
    header->bytes = bytes;
    {
        kernel::host::Guard guard(ledger.lock);
        auto& usage = ledger.usage[tag];
        usage.allocations++;
        usage.bytes += bytes;
    }
    return header + 1;
}

PVOID ExAllocatePool(POOL_TYPE type, SIZE_T bytes) {
    return ExAllocatePoolWithTag(type, bytes, MQ_POOL_TAG('N', 'o', 'n', 'e'));
}

namespace {
void FreeBlock(PVOID block, const ULONG* expectedTag) {
    if (block == nullptr) {
        kernel::ReportRuleViolation("ExFreePool of a null pointer");
        return;
    }
    auto* header = static_cast<PoolHeader*>(block) - 1;
    if (header->magic != kLiveMagic) {
        kernel::ReportRuleViolation("ExFreePool of a block that is not allocated pool");
        return;
    }
    if (expectedTag != nullptr && *expectedTag != header->tag)
        kernel::ReportRuleViolation("ExFreePoolWithTag with the wrong tag",
                                    TagText(*expectedTag) + " for " + TagText(header->tag));
    Ledger& ledger = TheLedger();
    {
        kernel::host::Guard guard(ledger.lock);
        auto& usage = ledger.usage[header->tag];
        usage.allocations--;
        usage.bytes -= header->bytes;
        if (usage.allocations == 0)
            ledger.usage.erase(header->tag);
    }
    header->magic = kFreedMagic;
    std::free(header);
}
}  // namespace

void ExFreePool(PVOID block) {
    FreeBlock(block, nullptr);
}
void ExFreePoolWithTag(PVOID block, ULONG tag) {
    FreeBlock(block, &tag);
}

namespace kernel::testing {

PoolUsage PoolOutstanding(std::uint32_t tag) {
    Ledger& ledger = TheLedger();
    kernel::host::Guard guard(ledger.lock);
    auto it = ledger.usage.find(tag);
    return it == ledger.usage.end() ? PoolUsage{} : it->second;
}

std::map<std::uint32_t, PoolUsage> PoolLedger() {
    Ledger& ledger = TheLedger();
    kernel::host::Guard guard(ledger.lock);
    return ledger.usage;
}

void FailPoolAllocation(int nth, std::uint32_t tag) {
    Ledger& ledger = TheLedger();
    kernel::host::Guard guard(ledger.lock);
    ledger.failCountdown = nth < 0 ? 0 : nth;
    ledger.failTag = tag;
}

}  // namespace kernel::testing
