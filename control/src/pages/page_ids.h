// The control's eight property pages: each one's class id, caption (a string of the module),
// help context and help document name, and dialog template; and the order the control
// announces them in.
#pragma once

#include "com/base.h"
#include "string_ids.h"

namespace mqacq32::pages {

struct PageIdentity {
    CLSID clsid;
    UINT caption;       // string id
    DWORD helpContext;  // WinHelp context in the module's help file
    const char* helpDocument;
    int dialogTemplate;
};

inline constexpr PageIdentity kDevicePage{
    .clsid = {0x5764b490, 0xb61e, 0x43f4, {0x98, 0xbe, 0x0d, 0x7b, 0x19, 0x56, 0x62, 0xf8}},
    .caption = text::kDeviceCaption,
    .helpContext = 719,
    .helpDocument = "Device",
    .dialogTemplate = 101};
inline constexpr PageIdentity kHardwarePage{
    .clsid = {0xb954f283, 0x3c7a, 0x473d, {0x97, 0x2d, 0x9f, 0xcf, 0x82, 0x42, 0xab, 0xcb}},
    .caption = text::kHardwareCaption,
    .helpContext = 720,
    .helpDocument = "Hardware",
    .dialogTemplate = 102};
inline constexpr PageIdentity kListsPage{
    .clsid = {0x9bc0edfc, 0xbc5b, 0x4977, {0xbe, 0xe9, 0xf7, 0x72, 0x5c, 0xfc, 0x73, 0x3a}},
    .caption = text::kListsCaption,
    .helpContext = 721,
    .helpDocument = "Lists",
    .dialogTemplate = 104};
inline constexpr PageIdentity kCounterTimerPage{
    .clsid = {0xebfba361, 0x914f, 0x4d41, {0x84, 0xf1, 0x65, 0x05, 0xaa, 0xe3, 0xb6, 0x93}},
    .caption = text::kCounterTimerCaption,
    .helpContext = 722,
    .helpDocument = "Counter/Timer",
    .dialogTemplate = 106};
inline constexpr PageIdentity kDataIoPage{
    .clsid = {0x87443f01, 0xfdf6, 0x425f, {0xb1, 0x3a, 0x23, 0x93, 0x65, 0xe9, 0x76, 0x3d}},
    .caption = text::kDataIoCaption,
    .helpContext = 723,
    .helpDocument = "Data I/O",
    .dialogTemplate = 105};
inline constexpr PageIdentity kClocksPage{
    .clsid = {0xccc68bfb, 0xf0d4, 0x4435, {0x91, 0x2b, 0xd8, 0x96, 0x2c, 0xad, 0x36, 0xe1}},
    .caption = text::kClocksCaption,
    .helpContext = 724,
    .helpDocument = "Clocks",
    .dialogTemplate = 103};
inline constexpr PageIdentity kTriggersPage{
    .clsid = {0xfe1c57dd, 0x5abd, 0x473b, {0x86, 0xea, 0xe5, 0x5f, 0x0e, 0x5e, 0xf5, 0x64}},
    .caption = text::kTriggersCaption,
    .helpContext = 725,
    .helpDocument = "Triggers",
    .dialogTemplate = 107};
inline constexpr PageIdentity kQuadraturePage{
    .clsid = {0x495080d6, 0x4791, 0x45c3, {0xb7, 0x41, 0x99, 0x1c, 0xb6, 0x30, 0x85, 0x87}},
    .caption = text::kQuadratureCaption,
    .helpContext = 756,
    .helpDocument = "Quads",
    .dialogTemplate = 220};

// What the control answers for its pages, in this order.
inline constexpr const PageIdentity* kAnnouncedPages[] = {
    &kDevicePage, &kHardwarePage, &kClocksPage,       &kTriggersPage,
    &kListsPage,  &kDataIoPage,   &kCounterTimerPage, &kQuadraturePage};

}  // namespace mqacq32::pages
