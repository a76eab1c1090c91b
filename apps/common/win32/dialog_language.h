// Windows only: a language file applied to a created dialog. The texts come from
// dialogTexts(); this part enumerates the dialog's children and sets them.
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

namespace cv50::apps::win32 {

// Narrow form: the file is read with the narrow calls, its texts are UTF-8.
void applyLanguage(HWND dialog, int dialogId, const std::string& file);
// Wide form.
void applyLanguage(HWND dialog, int dialogId, const std::u16string& file);

}  // namespace cv50::apps::win32
