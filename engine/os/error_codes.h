// The codes of the thread's last error (Os::lastError) that the engine logs as
// "ErrCode(%d)": the system's own codes, so a log line means the same on every backend.
#pragma once

#include <cstdint>

namespace cv50::os::error {

inline constexpr std::uint32_t kFileNotFound = 2;
inline constexpr std::uint32_t kPathNotFound = 3;
inline constexpr std::uint32_t kAccessDenied = 5;
inline constexpr std::uint32_t kInvalidHandle = 6;
inline constexpr std::uint32_t kNotReady = 21;
inline constexpr std::uint32_t kWriteFault = 29;
inline constexpr std::uint32_t kGenFailure = 31;
inline constexpr std::uint32_t kSharingViolation = 32;
inline constexpr std::uint32_t kFileExists = 80;
inline constexpr std::uint32_t kInvalidParameter = 87;
inline constexpr std::uint32_t kDiskFull = 112;
inline constexpr std::uint32_t kSemTimeout = 121;  // a device request that ran out of time
inline constexpr std::uint32_t kInsufficientBuffer = 122;
inline constexpr std::uint32_t kModuleNotFound = 126;
inline constexpr std::uint32_t kProcedureNotFound = 127;
inline constexpr std::uint32_t kNoMoreItems = 259;
inline constexpr std::uint32_t kResourceNotFound = 1814;  // ERROR_RESOURCE_NAME_NOT_FOUND
inline constexpr std::uint32_t kDeviceNotConnected = 1167;
inline constexpr std::uint32_t kCancelled = 1223;

// Codes of the setup functions.
inline constexpr std::uint32_t kWrongInfStyle = 0xE0000100;
inline constexpr std::uint32_t kNoDriverSelected = 0xE0000203;
inline constexpr std::uint32_t kInvalidClass = 0xE0000206;
inline constexpr std::uint32_t kNoSuchDevinst = 0xE000020B;

}  // namespace cv50::os::error
