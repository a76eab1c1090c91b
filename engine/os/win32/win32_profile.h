// The real private-profile and folder-search calls behind the os seam (Windows only).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "engine/os/os.h"

namespace cv50::os::win32 {

std::string profileString(const std::string& path, const std::string& section,
                          const std::string& key, const std::string& fallback, std::size_t size);
std::u16string profileStringW(const std::u16string& path, const std::u16string& section,
                              const std::u16string& key, const std::u16string& fallback,
                              std::size_t size);
int profileInt(const std::string& path, const std::string& section, const std::string& key,
               int fallback);
int profileIntW(const std::u16string& path, const std::u16string& section,
                const std::u16string& key, int fallback);
std::vector<FoundFile> findFiles(const std::string& pattern);
std::vector<FoundFileW> findFilesW(const std::u16string& pattern);
std::FILE* openFileW(const std::u16string& path, const char* mode);

}  // namespace cv50::os::win32
