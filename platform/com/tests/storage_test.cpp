// Memory streams and storages: the seek pointer, reads at the end, growth, clones, and the
// storage's rules for opening its streams.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "com/runtime.h"
#include "com/server/object.h"
#include "com/storage.h"

namespace {

using com::server::Ref;
using Bytes = std::vector<std::uint8_t>;

Ref<IStream> NewStream() {
    Ref<IStream> stream;
    EXPECT_EQ(com::CreateMemoryStream(stream.out()), S_OK);
    return stream;
}

LARGE_INTEGER Offset(LONGLONG value) {
    LARGE_INTEGER offset;
    offset.QuadPart = value;
    return offset;
}

ULARGE_INTEGER Size(ULONGLONG value) {
    ULARGE_INTEGER size;
    size.QuadPart = value;
    return size;
}

ULONGLONG PositionOf(IStream* stream) {
    ULARGE_INTEGER position{};
    EXPECT_EQ(stream->Seek(Offset(0), STREAM_SEEK_CUR, &position), S_OK);
    return position.QuadPart;
}

Bytes ReadAll(IStream* stream) {
    EXPECT_EQ(stream->Seek(Offset(0), STREAM_SEEK_SET, nullptr), S_OK);
    Bytes all;
    std::uint8_t chunk[3];
    for (ULONG got = 1; got > 0;) {
        EXPECT_EQ(stream->Read(chunk, sizeof(chunk), &got), S_OK);
        all.insert(all.end(), chunk, chunk + got);
    }
    return all;
}

std::u16string Wide(const char* text) {
    return std::u16string(text, text + std::char_traits<char>::length(text));
}

TEST(MemoryStream, ReadsStopAtTheEndWithSuccessAndTheCountOfWhatWasThere) {
    Ref<IStream> stream = NewStream();
    const std::uint8_t bytes[] = {1, 2, 3, 4, 5};
    ULONG count = 0;
    ASSERT_EQ(stream->Write(bytes, sizeof(bytes), &count), S_OK);
    EXPECT_EQ(count, sizeof(bytes));
    EXPECT_EQ(PositionOf(stream.get()), sizeof(bytes));

    ASSERT_EQ(stream->Seek(Offset(-2), STREAM_SEEK_END, nullptr), S_OK);
    std::uint8_t read[4] = {};
    ASSERT_EQ(stream->Read(read, sizeof(read), &count), S_OK);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(read[0], 4);
    EXPECT_EQ(read[1], 5);
    EXPECT_EQ(read[2], 0) << "nothing is written past what was there";
    ASSERT_EQ(stream->Read(read, sizeof(read), &count), S_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(stream->Read(read, sizeof(read), nullptr), S_OK);
    EXPECT_EQ(stream->Read(nullptr, 1, &count), STG_E_INVALIDPOINTER);
}

TEST(MemoryStream, SeeksFromEachOriginAndRefusesBeforeTheStart) {
    Ref<IStream> stream = NewStream();
    const Bytes ten(10, 7);
    ASSERT_EQ(stream->Write(ten.data(), 10, nullptr), S_OK);
    struct Case {
        DWORD origin;
        LONGLONG move;
        HRESULT status;
        ULONGLONG position;  // afterwards, from 4
    };
    const Case cases[] = {
        {STREAM_SEEK_SET, 3, S_OK, 3},
        {STREAM_SEEK_CUR, 2, S_OK, 6},
        {STREAM_SEEK_CUR, -4, S_OK, 0},
        {STREAM_SEEK_END, -1, S_OK, 9},
        {STREAM_SEEK_END, 5, S_OK, 15},  // past the end is a place to write at
        {STREAM_SEEK_CUR, -5, STG_E_INVALIDFUNCTION, 4},
        {STREAM_SEEK_SET, -1, STG_E_INVALIDFUNCTION, 4},
        {3, 0, STG_E_INVALIDFUNCTION, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "origin " << c.origin << " move " << c.move);
        ASSERT_EQ(stream->Seek(Offset(4), STREAM_SEEK_SET, nullptr), S_OK);
        ULARGE_INTEGER answered = Size(12345);
        EXPECT_EQ(stream->Seek(Offset(c.move), c.origin, &answered), c.status);
        if (c.status == S_OK) {
            EXPECT_EQ(answered.QuadPart, c.position);
        }
        EXPECT_EQ(PositionOf(stream.get()), c.position);
    }
}

TEST(MemoryStream, AWriteAfterAGapFillsItWithZerosAndSetSizeKeepsThePointer) {
    Ref<IStream> stream = NewStream();
    const std::uint8_t one = 9;
    ASSERT_EQ(stream->Seek(Offset(3), STREAM_SEEK_SET, nullptr), S_OK);
    ASSERT_EQ(stream->Write(&one, 1, nullptr), S_OK);
    EXPECT_EQ(ReadAll(stream.get()), (Bytes{0, 0, 0, 9}));

    ASSERT_EQ(stream->Seek(Offset(3), STREAM_SEEK_SET, nullptr), S_OK);
    ASSERT_EQ(stream->SetSize(Size(2)), S_OK);
    EXPECT_EQ(PositionOf(stream.get()), 3u);
    STATSTG stat{};
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.type, STGTY_STREAM);
    EXPECT_EQ(stat.cbSize.QuadPart, 2u);
    EXPECT_EQ(stat.pwcsName, nullptr);
    ASSERT_EQ(stream->SetSize(Size(5)), S_OK);
    EXPECT_EQ(ReadAll(stream.get()), (Bytes{0, 0, 0, 0, 0}));
    EXPECT_EQ(stream->SetSize(Size(0x100000000ull)), STG_E_MEDIUMFULL);
    EXPECT_EQ(stream->LockRegion(Size(0), Size(1), 0), STG_E_INVALIDFUNCTION);
}

TEST(MemoryStream, AClonesPointerIsItsOwnOverTheSameBytesAndCopyToMovesWhatIsLeft) {
    Ref<IStream> stream = NewStream();
    const std::uint8_t bytes[] = {1, 2, 3, 4};
    ASSERT_EQ(stream->Write(bytes, sizeof(bytes), nullptr), S_OK);
    ASSERT_EQ(stream->Seek(Offset(1), STREAM_SEEK_SET, nullptr), S_OK);
    Ref<IStream> clone;
    ASSERT_EQ(stream->Clone(clone.out()), S_OK);
    EXPECT_EQ(PositionOf(clone.get()), 1u);
    const std::uint8_t eight = 8;
    ASSERT_EQ(clone->Write(&eight, 1, nullptr), S_OK);  // seen through the first pointer too
    EXPECT_EQ(PositionOf(stream.get()), 1u);
    EXPECT_EQ(ReadAll(stream.get()), (Bytes{1, 8, 3, 4}));

    Ref<IStream> target = NewStream();
    ASSERT_EQ(stream->Seek(Offset(2), STREAM_SEEK_SET, nullptr), S_OK);
    ULARGE_INTEGER read{};
    ULARGE_INTEGER written{};
    ASSERT_EQ(stream->CopyTo(target.get(), Size(100), &read, &written), S_OK);
    EXPECT_EQ(read.QuadPart, 2u);
    EXPECT_EQ(written.QuadPart, 2u);
    EXPECT_EQ(ReadAll(target.get()), (Bytes{3, 4}));
}

class MemoryStorageTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(com::CreateMemoryStorage(storage.out()), S_OK); }
    HRESULT create(const char* name, DWORD mode, Ref<IStream>* stream) {
        const std::u16string wide = Wide(name);
        return storage->CreateStream(wide.c_str(), mode, 0, 0, stream->out());
    }
    HRESULT open(const char* name, DWORD mode, Ref<IStream>* stream) {
        const std::u16string wide = Wide(name);
        return storage->OpenStream(wide.c_str(), nullptr, mode, 0, stream->out());
    }

    Ref<IStorage> storage;
    static constexpr DWORD kWrite = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
    static constexpr DWORD kRead = STGM_READ | STGM_SHARE_EXCLUSIVE;
};

TEST_F(MemoryStorageTest, AStreamKeepsItsBytesBetweenOpeningsAndIsOpenOnlyOnceAtATime) {
    Ref<IStream> stream;
    ASSERT_EQ(create("Contents", kWrite, &stream), S_OK);
    const std::uint8_t bytes[] = {5, 6};
    ASSERT_EQ(stream->Write(bytes, sizeof(bytes), nullptr), S_OK);
    Ref<IStream> again;
    EXPECT_EQ(open("contents", kRead, &again), STG_E_ACCESSDENIED) << "open already";
    EXPECT_EQ(create("Contents", kWrite | STGM_CREATE, &again), STG_E_ACCESSDENIED);
    EXPECT_EQ(storage->DestroyElement(u"Contents"), STG_E_ACCESSDENIED);
    stream.reset();

    ASSERT_EQ(open("CONTENTS", kRead, &again), S_OK) << "names are compared without case";
    EXPECT_EQ(ReadAll(again.get()), (Bytes{5, 6}));
    EXPECT_EQ(again->Write(bytes, 1, nullptr), STG_E_ACCESSDENIED) << "opened for reading";
    again.reset();

    EXPECT_EQ(create("Contents", kWrite, &stream), STG_E_FILEALREADYEXISTS);
    ASSERT_EQ(create("Contents", kWrite | STGM_CREATE, &stream), S_OK);
    EXPECT_EQ(ReadAll(stream.get()), Bytes{}) << "STGM_CREATE replaces with an empty stream";
    stream.reset();
    EXPECT_EQ(storage->DestroyElement(u"Contents"), S_OK);
    EXPECT_EQ(open("Contents", kRead, &again), STG_E_FILENOTFOUND);
    EXPECT_EQ(storage->DestroyElement(u"Contents"), STG_E_FILENOTFOUND);
}

TEST_F(MemoryStorageTest, ModesAndNamesThePlatformRefuses) {
    Ref<IStream> stream;
    EXPECT_EQ(create("Contents", STGM_READWRITE, &stream), STG_E_INVALIDFLAG);
    EXPECT_EQ(create("Contents", STGM_WRITE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, &stream),
              STG_E_INVALIDFLAG);
    EXPECT_EQ(create("", kWrite, &stream), STG_E_INVALIDNAME);
    EXPECT_EQ(create("a name of thirty-two characters!", kWrite, &stream), STG_E_INVALIDNAME);
    EXPECT_EQ(storage->CreateStream(u"Contents", kWrite, 1, 0, stream.out()),
              STG_E_INVALIDPARAMETER);
    EXPECT_EQ(open("Contents", kRead | STGM_CREATE, &stream), STG_E_INVALIDFLAG);
    EXPECT_FALSE(stream);
    EXPECT_EQ(create("a name of thirty-one characters", kWrite, &stream), S_OK);
}

}  // namespace
