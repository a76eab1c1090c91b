// The lines of a list box, combo box or multi-line edit of another process.
#pragma once

#include <string>
#include <vector>

#include "tools/uidriver/window_access.h"

namespace cv50ui {

// List and combo boxes by LB_GETTEXT / CB_GETLBTEXT (an owner-drawn list must have
// LBS_HASSTRINGS); anything else by its text split at line ends.
std::vector<std::wstring> controlLines(HWND control, DWORD ms);

// An owner-drawn list without LBS_HASSTRINGS whose item data points at each item's
// NUL-terminated UTF-16 text, read from the owner's memory.
std::vector<std::wstring> itemDataLines(HWND list, DWORD ms);

}  // namespace cv50ui
