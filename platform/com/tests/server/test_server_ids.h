// The class that the tests' server module (com_test_server) makes, as its clients see it.
#pragma once

#include "com/base.h"
#include "com/dispatch.h"

namespace comtest {

inline constexpr CLSID kCounterClsid = {
    0x1fd2792d, 0x6ea2, 0x4001, {0xb7, 0x12, 0xd5, 0xe6, 0x0e, 0x7b, 0x14, 0xbf}};
inline constexpr IID kCounterEventsIid = {
    0xbed9f153, 0xe71c, 0x43e1, {0xb4, 0xde, 0x35, 0xf4, 0x84, 0x61, 0x58, 0x4a}};
inline constexpr const char* kCounterProgId = "ComTest.Counter.1";
inline constexpr const char* kServerModule = "com_test_server.dll";

// Members: Count (get/put long; a put fires Changed and notifies), Add(long) -> long.
inline constexpr DISPID kCountId = 1;
inline constexpr DISPID kAddId = 2;
// Event Changed(long* value).
inline constexpr DISPID kChangedEventId = 1;

}  // namespace comtest
