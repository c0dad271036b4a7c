// The library's status texts: one text per status code (and per internal message code), the
// statuses' names, and the copy rule of the error-string export.
#pragma once

#include <cstdint>
#include <span>

#include "hxda/api_status.h"

namespace hxda {

struct StatusTextEntry {
    std::uint32_t id;
    const char* name;  // the status's name; nullptr for a message code, whose text is its name
    const char* text;
};

// Every text of the string table, sorted by id.
std::span<const StatusTextEntry> StatusTextTable();

// The text stored under `id`, or nullptr when the table has none (51-59, for instance).
const char* FindStatusText(std::uint32_t id);

// The status's name as hxdacodes.h and hxmem32.h spell it ("HXNOTSUPPORTED"), or nullptr for a
// number that names no status (51-59, 132-199, above 220).
const char* StatusName(ApiStatus status);

// Fills `buffer` (of `size` characters) with the text of `status`:
// - a null buffer gives nullptr;
// - a known text is copied up to size - 1 characters plus a terminating zero, and the buffer is
//   returned; a size of 0 copies nothing and counts as "no text copied";
// - otherwise a size below 39 gives nullptr and leaves the buffer alone, and a larger buffer
//   receives "HX Unknown Error: 0x<status in upper-case hex>" and is returned.
char* CopyErrorString(std::uint32_t status, char* buffer, std::uint32_t size);

}  // namespace hxda
