// The scripting runtime's file-system object as this machine has it: a server module registered
// by ProgID, bound late by the members below.
//
// FileSystemObject
//   FileExists(path) -> Boolean: True for an existing file (not a folder).
//   GetFile(path) -> File: raises 53 "File not found" when there is no such file.
// File
//   Path (default member), Name, Size: the full path as given, its last part, the bytes.
//   Delete(force): removes the file. A read-only file (no owner write bit) raises 70
//   "Permission denied" unless force is True; a file gone meanwhile raises 53.
#pragma once

#include <cstdint>

namespace scripting {

inline constexpr const char* kFileSystemProgId = "Scripting.FileSystemObject";
inline constexpr const char* kModuleName = "scripting.dll";

// Numbers of the runtime's errors these members raise.
inline constexpr std::int32_t kErrFileNotFound = 53;
inline constexpr std::int32_t kErrPermissionDenied = 70;

namespace dispid {
inline constexpr std::int32_t FileExists = 1;
inline constexpr std::int32_t GetFile = 2;
// Members of a File.
inline constexpr std::int32_t Path = 0;
inline constexpr std::int32_t Name = 10;
inline constexpr std::int32_t Size = 11;
inline constexpr std::int32_t Delete = 12;
}  // namespace dispid

}  // namespace scripting
