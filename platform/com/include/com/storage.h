// Streams and storages: the byte sequences that objects save themselves into.
//
// Rules kept from the platform:
// - A stream has a seek pointer. Read copies what lies between the pointer and the end (fewer
//   bytes than asked at the end, S_OK all the same; *pcbRead says how many) and moves the pointer;
//   Write at or past the end grows the stream (a gap left by a seek past the end reads as zeros).
// - Seek takes STREAM_SEEK_SET, _CUR or _END and a signed offset; a position before the start, or
//   another origin, gives STG_E_INVALIDFUNCTION with the pointer unmoved. SetSize keeps the
//   pointer.
// - Clone gives a second seek pointer over the same bytes, starting where this one stands.
// - Memory streams do not lock regions (STG_E_INVALIDFUNCTION); Commit and Revert do nothing.
// - A storage holds named streams (names shorter than 32 characters, compared without regard to
//   case). Its streams are opened and created with STGM_SHARE_EXCLUSIVE (else STG_E_INVALIDFLAG)
//   and only once at a time (STG_E_ACCESSDENIED while open); STGM_CREATE replaces an existing
//   stream with an empty one, without it an existing name gives STG_E_FILEALREADYEXISTS; a
//   missing one STG_E_FILENOTFOUND. A stream opened with STGM_READ refuses writes
//   (STG_E_ACCESSDENIED). Storages here are direct: what a stream writes is in the storage at once.
#pragma once

#include "com/base.h"

union ULARGE_INTEGER {
    struct {
        ULONG LowPart;
        ULONG HighPart;
    } u;
    ULONGLONG QuadPart;
};

#define STREAM_SEEK_SET 0u
#define STREAM_SEEK_CUR 1u
#define STREAM_SEEK_END 2u

#define STGM_READ 0x00000000u
#define STGM_WRITE 0x00000001u
#define STGM_READWRITE 0x00000002u
#define STGM_SHARE_EXCLUSIVE 0x00000010u
#define STGM_CREATE 0x00001000u

#define STGTY_STORAGE 1u
#define STGTY_STREAM 2u

#define STATFLAG_DEFAULT 0u
#define STATFLAG_NONAME 1u

#define STG_E_INVALIDFUNCTION MQ_HRESULT(0x80030001u)
#define STG_E_FILENOTFOUND MQ_HRESULT(0x80030002u)
#define STG_E_ACCESSDENIED MQ_HRESULT(0x80030005u)
#define STG_E_INSUFFICIENTMEMORY MQ_HRESULT(0x80030008u)
#define STG_E_INVALIDPOINTER MQ_HRESULT(0x80030009u)
#define STG_E_WRITEFAULT MQ_HRESULT(0x8003001Du)
#define STG_E_READFAULT MQ_HRESULT(0x8003001Eu)
#define STG_E_FILEALREADYEXISTS MQ_HRESULT(0x80030050u)
#define STG_E_INVALIDPARAMETER MQ_HRESULT(0x80030057u)
#define STG_E_MEDIUMFULL MQ_HRESULT(0x80030070u)
#define STG_E_INVALIDNAME MQ_HRESULT(0x800300FCu)
#define STG_E_INVALIDFLAG MQ_HRESULT(0x800300FFu)

// What Stat tells about a stream. pwcsName (unless STATFLAG_NONAME) is the caller's to free with
// CoTaskMemFree; a memory stream has no name (null).
struct STATSTG {
    LPOLESTR pwcsName;
    DWORD type;
    ULARGE_INTEGER cbSize;
    FILETIME mtime;
    FILETIME ctime;
    FILETIME atime;
    DWORD grfMode;
    DWORD grfLocksSupported;
    CLSID clsid;
    DWORD grfStateBits;
    DWORD reserved;
};

struct ISequentialStream : IUnknown {
    // Null pv gives STG_E_INVALIDPOINTER; pcbRead may be null.
    virtual HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) = 0;
    // STG_E_MEDIUMFULL (nothing written) when the stream cannot grow; pcbWritten may be null.
    virtual HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* pcbWritten) = 0;

  protected:
    ~ISequentialStream() = default;
};

struct IStream : ISequentialStream {
    virtual HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin,
                                           ULARGE_INTEGER* plibNewPosition) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER libNewSize) = 0;
    // Reads up to cb bytes from here and writes them at pstm's pointer.
    virtual HRESULT STDMETHODCALLTYPE CopyTo(IStream* pstm, ULARGE_INTEGER cb,
                                             ULARGE_INTEGER* pcbRead,
                                             ULARGE_INTEGER* pcbWritten) = 0;
    virtual HRESULT STDMETHODCALLTYPE Commit(DWORD grfCommitFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE Revert() = 0;
    virtual HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb,
                                                 DWORD dwLockType) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb,
                                                   DWORD dwLockType) = 0;
    virtual HRESULT STDMETHODCALLTYPE Stat(STATSTG* pstatstg, DWORD grfStatFlag) = 0;
    virtual HRESULT STDMETHODCALLTYPE Clone(IStream** ppstm) = 0;

  protected:
    ~IStream() = default;
};
using LPSTREAM = IStream*;

// A storage of streams: the members that objects here use (our own identifier).
struct IStorage : IUnknown {
    // reserved1 and reserved2 must be 0 (STG_E_INVALIDPARAMETER).
    virtual HRESULT STDMETHODCALLTYPE CreateStream(LPCOLESTR pwcsName, DWORD grfMode,
                                                   DWORD reserved1, DWORD reserved2,
                                                   IStream** ppstm) = 0;
    virtual HRESULT STDMETHODCALLTYPE OpenStream(LPCOLESTR pwcsName, void* reserved1, DWORD grfMode,
                                                 DWORD reserved2, IStream** ppstm) = 0;
    // STG_E_FILENOTFOUND for a missing name, STG_E_ACCESSDENIED while the stream is open.
    virtual HRESULT STDMETHODCALLTYPE DestroyElement(LPCOLESTR pwcsName) = 0;
    virtual HRESULT STDMETHODCALLTYPE Commit(DWORD grfCommitFlags) = 0;

  protected:
    ~IStorage() = default;
};
using LPSTORAGE = IStorage*;

inline constexpr IID IID_ISequentialStream = {
    0x0c733a30, 0x2a1c, 0x11ce, {0xad, 0xe5, 0x00, 0xaa, 0x00, 0x44, 0x77, 0x3d}};
inline constexpr IID IID_IStream = {
    0x0000000c, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IStorage = {
    0x4a0e96c2, 0x5fa3, 0x4c1d, {0x9b, 0x37, 0x2e, 0x61, 0xd8, 0x05, 0x7a, 0x93}};

namespace com {

// A new, empty memory stream with one reference for the caller.
HRESULT CreateMemoryStream(IStream** stream);
// A new, empty memory storage with one reference for the caller.
HRESULT CreateMemoryStorage(IStorage** storage);

}  // namespace com
