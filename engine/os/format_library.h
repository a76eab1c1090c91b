// The system's format library ("fmifs.dll", loaded by name through Os::loadLibrary): its
// FormatEx and the progress callback it calls, in the calling convention Windows uses.
#pragma once

#include <cstdint>

#ifdef _WIN32
#define CV50_FORMAT_CALL __stdcall
#else
#define CV50_FORMAT_CALL
#endif

namespace cv50::os {

inline constexpr int kFormatCommandDone = 11;  // action data: the success byte
inline constexpr int kMediaRemovable = 11;
inline constexpr int kMediaFixed = 12;
using FormatCallback = unsigned char(CV50_FORMAT_CALL*)(int command, std::uint32_t subAction,
                                                        void* actionData);
using FormatExFunction = void(CV50_FORMAT_CALL*)(wchar_t* root, int mediaKind, wchar_t* fileSystem,
                                                 wchar_t* label, int quick,
                                                 std::uint32_t clusterSize,
                                                 FormatCallback callback);

}  // namespace cv50::os
