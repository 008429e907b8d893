#pragma once

#include <cstdint>

namespace platform {

// A Windows error code, as a file's error row shows it.
using ErrorCode = std::uint32_t;

} // namespace platform

// The Windows error codes that the harvest and orvanel-dump give on their own account, where the
// Windows build has the system give them: the native build's module reader, listing and console.
// Named once, here.
namespace errors {

using platform::ErrorCode;

constexpr ErrorCode kSuccess = 0;
constexpr ErrorCode kFileNotFound = 2;
constexpr ErrorCode kPathNotFound = 3;
constexpr ErrorCode kAccessDenied = 5;
constexpr ErrorCode kInvalidHandle = 6;
constexpr ErrorCode kNotEnoughMemory = 8;
constexpr ErrorCode kOutOfMemory = 14;
constexpr ErrorCode kNoMoreFiles = 18;
constexpr ErrorCode kWriteFault = 29;
constexpr ErrorCode kGeneralFailure = 31;
constexpr ErrorCode kSharingViolation = 32;
constexpr ErrorCode kInvalidParameter = 87;
constexpr ErrorCode kBrokenPipe = 109;
constexpr ErrorCode kDiskFull = 112;
constexpr ErrorCode kInvalidName = 123;
constexpr ErrorCode kModNotFound = 126; // the loader's word for a module that is not there
constexpr ErrorCode kBadExeFormat = 193;
constexpr ErrorCode kNameTooLong = 206; // ERROR_FILENAME_EXCED_RANGE
constexpr ErrorCode kNoData = 232;
constexpr ErrorCode kPipeNotConnected = 233;
constexpr ErrorCode kMrMidNotFound = 317; // no message for the code: an NTSTATUS without Win32 code
constexpr ErrorCode kNoAccess = 998;      // a page fault
constexpr ErrorCode kFileInvalid = 1006;  // an empty file, or one that cannot be mapped
constexpr ErrorCode kResourceDataNotFound = 1812;
constexpr ErrorCode kResourceTypeNotFound = 1813;
constexpr ErrorCode kResourceNameNotFound = 1814;
constexpr ErrorCode kResourceLangNotFound = 1815;

// The codes whose texts the native build carries (harvest/native/SystemTexts.inc).
constexpr ErrorCode kWithTexts[] = {kSuccess,
                                    kFileNotFound,
                                    kPathNotFound,
                                    kAccessDenied,
                                    kInvalidHandle,
                                    kNotEnoughMemory,
                                    kOutOfMemory,
                                    kNoMoreFiles,
                                    kWriteFault,
                                    kGeneralFailure,
                                    kSharingViolation,
                                    kInvalidParameter,
                                    kBrokenPipe,
                                    kDiskFull,
                                    kInvalidName,
                                    kModNotFound,
                                    kBadExeFormat,
                                    kNameTooLong,
                                    kNoData,
                                    kPipeNotConnected,
                                    kNoAccess,
                                    kFileInvalid,
                                    kResourceDataNotFound,
                                    kResourceTypeNotFound,
                                    kResourceNameNotFound,
                                    kResourceLangNotFound};

} // namespace errors
