// Saving a control into a memory stream and loading it from bytes, as a container does.
#pragma once

#include "com/persist.h"
#include "container.h"
#include "record_bytes.h"

namespace controltest {

template <typename Interface>
Ref<Interface> As(Control& control, const IID& iid) {
    Ref<Interface> object;
    EXPECT_EQ(control.dispatch->QueryInterface(iid, object.outVoid()), S_OK);
    return object;
}

inline Bytes ReadAll(IStream* stream) {
    LARGE_INTEGER start{};
    EXPECT_EQ(stream->Seek(start, STREAM_SEEK_SET, nullptr), S_OK);
    Bytes all;
    std::uint8_t chunk[256];
    for (ULONG got = 1; got > 0;) {
        EXPECT_EQ(stream->Read(chunk, sizeof(chunk), &got), S_OK);
        all.insert(all.end(), chunk, chunk + got);
    }
    return all;
}

inline Ref<IStream> StreamOf(const Bytes& bytes) {
    Ref<IStream> stream;
    EXPECT_EQ(com::CreateMemoryStream(stream.out()), S_OK);
    if (!bytes.empty()) {
        EXPECT_EQ(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr), S_OK);
    }
    LARGE_INTEGER start{};
    EXPECT_EQ(stream->Seek(start, STREAM_SEEK_SET, nullptr), S_OK);
    return stream;
}

inline Bytes Saved(Control& control) {
    Ref<IStream> stream;
    EXPECT_EQ(com::CreateMemoryStream(stream.out()), S_OK);
    EXPECT_EQ(As<IPersistStreamInit>(control, IID_IPersistStreamInit)->Save(stream.get(), TRUE),
              S_OK);
    return ReadAll(stream.get());
}

inline HRESULT Load(Control& control, const Bytes& bytes) {
    Ref<IStream> stream = StreamOf(bytes);
    return As<IPersistStreamInit>(control, IID_IPersistStreamInit)->Load(stream.get());
}

}  // namespace controltest
