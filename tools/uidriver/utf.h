// UTF-8 at the driver's edges (arguments, output), UTF-16 at every window call.
#pragma once

#include <string>

namespace cv50ui {

std::string utf8FromWide(const std::wstring& text);
std::wstring wideFromUtf8(const std::string& text);

// Windows controls keep lines as CR LF; scripts see and give LF.
std::wstring unixNewlines(const std::wstring& text);
std::wstring windowsNewlines(const std::wstring& text);

}  // namespace cv50ui
