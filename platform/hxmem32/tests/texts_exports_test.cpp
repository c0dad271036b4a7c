#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "hxmem32.h"
#include "win32/exports.h"

extern "C" const win32::ExportTable MQ_EXPORT_TABLE_SYMBOL;

namespace {

std::string TextOf(uint32_t status, uint32_t size = 256) {
    char text[256];
    EXPECT_EQ(hxDmGetErrorString(status, text, size), 0u);
    return text;
}

TEST(ErrorTextTest, EveryStatusHasItsText) {
    for (uint32_t status = HXCANTALLOCBCB; status <= HXNOTMULTIPLEOFTWO; ++status) {
        const std::string text = TextOf(status);
        EXPECT_FALSE(text.empty()) << status;
        EXPECT_EQ(text.find("Unknown"), std::string::npos) << status;
    }
    EXPECT_EQ(TextOf(0), "No Error");
    EXPECT_EQ(TextOf(HXINVALIDHBUF),
              "Invalid buffer handle (HBUF) passed to a library from an application.");
    EXPECT_EQ(TextOf(HXBUFFERNOTLOCKED), "Bufffer Not Locked");
    EXPECT_EQ(TextOf(HXIRQINUSE), "Specififed IRQ in use");
    EXPECT_EQ(TextOf(HXNOTMULTIPLEOFTWO),
              "Requested operation requires that valid samples in buffer be a multiple of 2");
}

TEST(ErrorTextTest, CopyRule) {
    EXPECT_EQ(TextOf(HXBUFFERONLIST, 5), "Buff");
    EXPECT_EQ(TextOf(HXBUFFERONLIST, 1), "");
    EXPECT_EQ(TextOf(HXBUFFERONLIST, 15), "Buffer on List");
    EXPECT_EQ(TextOf(199), "HX Unknown Error: 0xC7");
    EXPECT_EQ(TextOf(221, 10), "HX Unknow");

    char untouched[4] = "abc";
    EXPECT_EQ(hxDmGetErrorString(HXBUFFERONLIST, untouched, 0), HXBUFFERTOOSMALL);
    EXPECT_STREQ(untouched, "abc");
    EXPECT_EQ(hxDmGetErrorString(HXBUFFERONLIST, nullptr, 80), HXBUFFERTOOSMALL);
}

// The module loader reads this table from the library.
const win32::ExportTable& Exports() {
    return MQ_EXPORT_TABLE_SYMBOL;
}

const win32::ExportEntry* FindByOrdinal(WORD ordinal) {
    for (DWORD i = 0; i < Exports().count; ++i)
        if (Exports().entries[i].ordinal == ordinal)
            return &Exports().entries[i];
    return nullptr;
}

TEST(ExportTableTest, EveryEntryStandsAtItsOrdinal) {
    struct Expected {
        WORD ordinal;
        const char* name;
        FARPROC address;
        int argumentBytes;
    };
#define ENTRY(ordinal, function, bytes)                                                         \
    {                                                                                           \
        ordinal, #function, reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&function)), \
            bytes                                                                               \
    }
    const Expected expected[] = {
        ENTRY(24, hxDmStampBuffer, 4),
        ENTRY(25, hxDmSetDataBits, 8),
        ENTRY(35, hxDmCreateList, 16),
        ENTRY(38, hxDmFreeBuffer, 4),
        ENTRY(39, hxDmFreeList, 4),
        ENTRY(41, hxDmGetBufferFromList, 8),
        ENTRY(42, hxDmGetBufferPtr, 8),
        ENTRY(43, hxDmGetBufferSize, 8),
        ENTRY(46, hxDmGetListCount, 8),
        ENTRY(51, hxDmGetValidSamples, 8),
        ENTRY(56, hxDmPutBufferToList, 8),
        ENTRY(60, hxDmSetDataWidth, 8),
        ENTRY(61, hxDmSetValidSamples, 8),
        ENTRY(100, hxDmGetOverlapped, 8),
        ENTRY(101, hxDmLockList, 4),
        ENTRY(102, hxDmUnlockList, 4),
        ENTRY(103, hxDmGetBufferLocation, 8),
        ENTRY(104, hxDmGetBufferForProcess, 8),
        ENTRY(105, hxDmSetBufferInProcess, 4),
        ENTRY(106, hxDmEndBufferProcess, 8),
        // Entries the application binds by name.
        ENTRY(HXDM_ORDINAL_ALLOCBUFFER, hxDmAllocBuffer, 12),
        ENTRY(HXDM_ORDINAL_CALLOCBUFFER, hxDmCallocBuffer, 20),
        ENTRY(HXDM_ORDINAL_COPYFROMBUFFER, hxDmCopyFromBuffer, 12),
        ENTRY(HXDM_ORDINAL_COPYTOBUFFER, hxDmCopyToBuffer, 12),
        ENTRY(HXDM_ORDINAL_GETERRORSTRING, hxDmGetErrorString, 12),
    };
#undef ENTRY
    ASSERT_EQ(Exports().magic, win32::kExportTableMagic);
    for (const Expected& e : expected) {
        const win32::ExportEntry* entry = FindByOrdinal(e.ordinal);
        ASSERT_NE(entry, nullptr) << e.name;
        EXPECT_STREQ(entry->name, e.name);
        EXPECT_EQ(entry->address, e.address) << e.name;
        EXPECT_EQ(entry->argumentBytes, e.argumentBytes) << e.name;
    }

    // Names and ordinals are unique.
    std::set<std::string> names;
    std::set<WORD> ordinals;
    for (DWORD i = 0; i < Exports().count; ++i) {
        names.insert(Exports().entries[i].name);
        ordinals.insert(Exports().entries[i].ordinal);
        EXPECT_NE(Exports().entries[i].address, nullptr) << Exports().entries[i].name;
    }
    EXPECT_EQ(names.size(), Exports().count);
    EXPECT_EQ(ordinals.size(), Exports().count);
}

}  // namespace
