// The page class of the forms runtime's test page module (ui_test_pages), as its tests see it.
#pragma once

#include <cstdint>

#include "com/base.h"

namespace uitest {

inline constexpr const char* kPagesModule = "ui_test_pages.dll";
inline constexpr CLSID kSamplePageClsid = {
    0x93d0a6f1, 0x4b2e, 0x4c87, {0xae, 0x05, 0x61, 0xf9, 0x2d, 0x7c, 0x38, 0xb4}};
inline constexpr const char* kSampleCaption = "Sample";
inline constexpr const char* kSampleHelpFile = "sample.hlp";
inline constexpr std::uint32_t kSampleHelpContext = 77;

// Controls of the page: the object's Name as the text of combo kNameCombo (entries "Alpha",
// "Beta", "Gamma"); its Level (short, validated kLowestLevel to kHighestLevel) in edit
// kLevelEdit; its Mode as the entry index of combo kModeCombo ("0 - Off", "1 - On"); a note edit
// kNoteEdit that makes nothing dirty and is not exchanged.
inline constexpr int kNameCombo = 201;
inline constexpr int kLevelEdit = 202;
inline constexpr int kNoteEdit = 203;
inline constexpr int kModeCombo = 205;
inline constexpr int kLowestLevel = 0;
inline constexpr int kHighestLevel = 1000;

}  // namespace uitest
