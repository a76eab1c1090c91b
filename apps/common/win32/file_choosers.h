// Windows only: the file and folder choosers of the programs, with UTF-8 texts.
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <optional>
#include <string>

namespace cv50::apps::win32 {

// The open-file dialog; `filter` as the programs write it ("Name(*.x)|*.x|All File(*.*)|*.*||").
// The chosen path, or nothing on Cancel. The current folder is put back afterwards.
std::optional<std::string> chooseFile(HWND owner, const std::string& filter);
// The folder browser titled `title`; the chosen folder, or nothing.
std::optional<std::string> chooseFolder(HWND owner, const std::string& title);

}  // namespace cv50::apps::win32
