// hxmem32: the buffer manager. Sample buffers (HBUF) with a data width, a resolution, a count of
// valid samples and an overlapped record of their own, and buffer lists (HLIST) with a list lock.
// Every entry is safe to call from any thread and returns a status: 0 for success, 200-220 for the
// buffer manager's own failures (the values below).
//
// A buffer is at every moment in one of three places: in its owner's hands (on no list), on one
// list, or in process (handed to a driver, which may write its data until the buffer comes back).
// A buffer in process is in use: freeing it or putting it on a list is refused with
// HXBUFFERLOCKED, and it leaves process only through hxDmEndBufferProcess.
//
// Buffer and list handles are 32-bit tokens, never addresses: a freed or foreign handle is refused
// with HXINVALIDHBUF or HXBADLISTHANDLE. So is a null output pointer (HXCANTALLOCBCB and
// HXCANTALLOCLIST for the entries that make a buffer or a list). No output is written on failure.
#pragma once

#include <stdint.h>

// stdcall on 32-bit x86 Windows, the only convention there is everywhere else.
#if defined(_WIN32) && defined(_M_IX86)
#define HXMEMAPI __stdcall
#else
#define HXMEMAPI
#endif

// Marks the library's entry points: the library is built with hidden visibility, so these
// functions are all it exports.
#if defined(__GNUC__)
#define HXMEM32_EXPORT __attribute__((visibility("default")))
#else
#define HXMEM32_EXPORT
#endif

// The platform's overlapped I/O record; the buffer manager only owns its storage.
struct OVERLAPPED;

using HBUF = uint32_t;
using HLIST = uint32_t;

// Statuses of the buffer manager: plain integers, so that another header may define the same
// names with the same values beside this one.
#define HXCANTALLOCBCB 200
#define HXCANTALLOCBUFFER 201
#define HXINVALIDHBUF 202
#define HXCANTLOCKBUFFER 203
#define HXBUFFERLOCKED 204
#define HXBUFFERONLIST 205
#define HXCANTREALLOCBCB 206
#define HXCANTREALLOCBUFFER 207
#define HXBADSAMPLESIZE 208
#define HXCANTALLOCLIST 209
#define HXBADLISTHANDLE 210
#define HXLISTNOTEMPTY 211
#define HXBUFFERNOTLOCKED 212
#define HXINVALIDDMACHANNEL 213
#define HXDMACHANNELINUSE 214
#define HXINVALIDIRQ 215
#define HXIRQINUSE 216
#define HXNOVALIDSAMPLES 217
#define HXVALIDSAMPLESTOOLARGE 218
#define HXBUFFERTOOSMALL 219
#define HXNOTMULTIPLEOFTWO 220

extern "C" {

// Buffers. A new buffer is zero-filled, has no valid samples and holds `samples` samples of its
// data width (2 bytes for hxDmAllocBuffer, `sampleSize` = 1, 2 or 4 for hxDmCallocBuffer).
// The flags are accepted and kept; they change nothing.
HXMEM32_EXPORT uint32_t HXMEMAPI hxDmAllocBuffer(uint32_t flags, uint32_t samples, HBUF* buffer);
HXMEM32_EXPORT uint32_t HXMEMAPI hxDmCallocBuffer(uint32_t flags, uint32_t flags2, uint32_t samples,
                                                  uint32_t sampleSize, HBUF* buffer);
// A buffer still on a list is refused with HXBUFFERONLIST, one in process with HXBUFFERLOCKED.
HXMEM32_EXPORT uint32_t HXMEMAPI hxDmFreeBuffer(HBUF buffer);

// Copies `count` samples of the buffer's data width from `source`; the valid samples become
// `count`. More samples than the buffer holds, or a null source: HXBUFFERTOOSMALL.
HXMEM32_EXPORT uint32_t HXMEMAPI hxDmCopyToBuffer(HBUF buffer, const void* source, uint32_t count);
// Copies the first `count` valid samples to `destination`. A buffer without valid samples gives
// HXNOVALIDSAMPLES, more than its valid samples HXBUFFERTOOSMALL; a count of 0 copies nothing.
HXMEM32_EXPORT uint32_t HXMEMAPI hxDmCopyFromBuffer(HBUF buffer, void* destination, uint32_t count);

HXMEM32_EXPORT uint32_t HXMEMAPI hxDmGetBufferPtr(HBUF buffer, void** data);
HXMEM32_EXPORT uint32_t HXMEMAPI hxDmGetBufferSize(HBUF buffer, uint32_t* bytes);
HXMEM32_EXPORT uint32_t HXMEMAPI hxDmGetValidSamples(HBUF buffer, uint32_t* samples);
// More than the buffer holds at its data width: HXVALIDSAMPLESTOOLARGE.
HXMEM32_EXPORT uint32_t HXMEMAPI hxDmSetValidSamples(HBUF buffer, uint32_t samples);
// 1, 2 or 4 bytes per sample, else HXBADSAMPLESIZE. The byte size never changes; valid samples
// beyond what the buffer holds at the new width are dropped.
HXMEM32_EXPORT uint32_t HXMEMAPI hxDmSetDataWidth(HBUF buffer, uint32_t bytesPerSample);
HXMEM32_EXPORT uint32_t HXMEMAPI hxDmGetDataWidth(HBUF buffer, uint32_t* bytesPerSample);
// Resolution of the samples, 1 to 32 bits, else HXBADSAMPLESIZE. 0 until set.
HXMEM32_EXPORT uint32_t HXMEMAPI hxDmSetDataBits(HBUF buffer, uint32_t bits);
HXMEM32_EXPORT uint32_t HXMEMAPI hxDmGetDataBits(HBUF buffer, uint32_t* bits);
// Stamps a buffer that is handed back with the next number of a process-wide sequence (1, 2, ...),
// so that a consumer can tell the order in which buffers were filled; 0 until first stamped.
HXMEM32_EXPORT uint32_t HXMEMAPI hxDmStampBuffer(HBUF buffer);
HXMEM32_EXPORT uint32_t HXMEMAPI hxDmGetBufferStamp(HBUF buffer, uint32_t* stamp);
// The buffer's own overlapped record, zeroed at allocation and valid while the buffer lives.
HXMEM32_EXPORT uint32_t HXMEMAPI hxDmGetOverlapped(HBUF buffer, OVERLAPPED** overlapped);

// Lists. The three reserved arguments of hxDmCreateList are ignored (callers pass 0).
HXMEM32_EXPORT uint32_t HXMEMAPI hxDmCreateList(HLIST* list, uint32_t reserved1, uint32_t reserved2,
                                                uint32_t reserved3);
// A list that still holds buffers is refused with HXLISTNOTEMPTY.
HXMEM32_EXPORT uint32_t HXMEMAPI hxDmFreeList(HLIST list);
// Appends at the tail; a buffer on any list is refused with HXBUFFERONLIST, one in process with
// HXBUFFERLOCKED.
HXMEM32_EXPORT uint32_t HXMEMAPI hxDmPutBufferToList(HLIST list, HBUF buffer);
// Removes the head into *buffer, or writes 0 when the list is empty (status 0 either way).
HXMEM32_EXPORT uint32_t HXMEMAPI hxDmGetBufferFromList(HLIST list, HBUF* buffer);
HXMEM32_EXPORT uint32_t HXMEMAPI hxDmGetListCount(HLIST list, uint32_t* count);
// The list lock: while a thread holds it, no other thread changes or frees the list. It is
// recursive; every lock needs an unlock by the same thread. An unlock by a thread that does not
// hold the lock is refused with HXBUFFERNOTLOCKED.
HXMEM32_EXPORT uint32_t HXMEMAPI hxDmLockList(HLIST list);
HXMEM32_EXPORT uint32_t HXMEMAPI hxDmUnlockList(HLIST list);

// Where a buffer is: one of the HXDM_LOCATION_ values below.
#define HXDM_LOCATION_HELD 0u
#define HXDM_LOCATION_LISTED 1u
#define HXDM_LOCATION_INPROCESS 2u
HXMEM32_EXPORT uint32_t HXMEMAPI hxDmGetBufferLocation(HBUF buffer, uint32_t* location);
// Removes the head of the list into *buffer and puts it in process in one step, so that no other
// thread can free or queue it in between; writes 0 when the list is empty (status 0 either way).
HXMEM32_EXPORT uint32_t HXMEMAPI hxDmGetBufferForProcess(HLIST list, HBUF* buffer);
// Puts a buffer in its owner's hands in process: HXBUFFERONLIST when it is on a list,
// HXBUFFERLOCKED when it is in process already.
HXMEM32_EXPORT uint32_t HXMEMAPI hxDmSetBufferInProcess(HBUF buffer);
// Takes a buffer out of process and appends it to `list` in one step; with a list of 0 the buffer
// goes back to its owner's hands. A buffer not in process gives HXBUFFERNOTLOCKED; a bad list
// HXBADLISTHANDLE, and the buffer stays in process.
HXMEM32_EXPORT uint32_t HXMEMAPI hxDmEndBufferProcess(HBUF buffer, HLIST list);

// Copies the text of a status (0 and 200-220) into `text`: at most size - 1 characters and a
// terminating zero. A status without a text of its own receives "HX Unknown Error: 0x<hex>".
// A null text or a size of 0 writes nothing and gives HXBUFFERTOOSMALL.
HXMEM32_EXPORT uint32_t HXMEMAPI hxDmGetErrorString(uint32_t status, char* text, uint32_t size);

}  // extern "C"

// Export ordinals by which the API library and the acquisition control bind the entries (the
// module loader resolves them through the library's export table).
#define HXDM_ORDINAL_GETERRORSTRING 10
#define HXDM_ORDINAL_ALLOCBUFFER 11
#define HXDM_ORDINAL_CALLOCBUFFER 12
#define HXDM_ORDINAL_COPYTOBUFFER 13
#define HXDM_ORDINAL_COPYFROMBUFFER 14
#define HXDM_ORDINAL_GETDATAWIDTH 15
#define HXDM_ORDINAL_GETDATABITS 16
#define HXDM_ORDINAL_GETBUFFERSTAMP 17
#define HXDM_ORDINAL_STAMPBUFFER 24
#define HXDM_ORDINAL_SETDATABITS 25
#define HXDM_ORDINAL_CREATELIST 35
#define HXDM_ORDINAL_FREEBUFFER 38
#define HXDM_ORDINAL_FREELIST 39
#define HXDM_ORDINAL_GETBUFFERFROMLIST 41
#define HXDM_ORDINAL_GETBUFFERPTR 42
#define HXDM_ORDINAL_GETBUFFERSIZE 43
#define HXDM_ORDINAL_GETLISTCOUNT 46
#define HXDM_ORDINAL_GETVALIDSAMPLES 51
#define HXDM_ORDINAL_PUTBUFFERTOLIST 56
#define HXDM_ORDINAL_SETDATAWIDTH 60
#define HXDM_ORDINAL_SETVALIDSAMPLES 61
#define HXDM_ORDINAL_GETOVERLAPPED 100
#define HXDM_ORDINAL_LOCKLIST 101
#define HXDM_ORDINAL_UNLOCKLIST 102
#define HXDM_ORDINAL_GETBUFFERLOCATION 103
#define HXDM_ORDINAL_GETBUFFERFORPROCESS 104
#define HXDM_ORDINAL_SETBUFFERINPROCESS 105
#define HXDM_ORDINAL_ENDBUFFERPROCESS 106
