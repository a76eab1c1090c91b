// Windows only: CV50DLL.dll as a host built with the platform's own compiler finds it. Each
// CV_ export is reached under its decorated name too, at the same address, and the driver
// exports are there by their plain names.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// The names in a loaded module's export directory.
std::vector<std::string> exportNames(HMODULE module) {
    const auto* base = reinterpret_cast<const BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    const auto* directory = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
    const auto* names = reinterpret_cast<const DWORD*>(base + directory->AddressOfNames);
    std::vector<std::string> out;
    for (DWORD i = 0; i < directory->NumberOfNames; ++i)
        out.emplace_back(reinterpret_cast<const char*>(base + names[i]));
    return out;
}

// "CV_Upgrade" of "_Z10CV_UpgradeRK11DEVICE_INFOmmmPcii"; empty for other names.
std::string functionOfGccName(const std::string& name) {
    if (name.rfind("_Z", 0) != 0) return {};
    std::size_t at = 2;
    std::size_t length = 0;
    while (at < name.size() && name[at] >= '0' && name[at] <= '9') length = length * 10 + (name[at++] - '0');
    if (length == 0 || at + length > name.size()) return {};
    const std::string function = name.substr(at, length);
    return function.rfind("CV_", 0) == 0 ? function : std::string();
}

class Dll : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(module_, nullptr) << "LoadLibrary failed: " << GetLastError(); }
    void TearDown() override {
        if (module_) FreeLibrary(module_);
    }
    void* address(const std::string& name) const {
        return reinterpret_cast<void*>(GetProcAddress(module_, name.c_str()));
    }
    HMODULE module_ = LoadLibraryA("CV50DLL.dll");
};

TEST_F(Dll, EveryCvExportHasItsDecoratedTwinAtTheSameAddress) {
    const std::vector<std::string> names = exportNames(module_);
    std::vector<std::string> functions;
    for (const std::string& name : names) {
        const std::string function = functionOfGccName(name);
        if (function.empty()) continue;
        functions.push_back(function);
        std::string decorated;
        for (const std::string& other : names)
            if (other.rfind("?" + function + "@@", 0) == 0) decorated = other;
        ASSERT_FALSE(decorated.empty()) << function;
        EXPECT_NE(address(name), nullptr) << name;
        EXPECT_EQ(address(decorated), address(name)) << decorated;
    }
    EXPECT_NE(std::find(functions.begin(), functions.end(), "CV_Upgrade"), functions.end());
    EXPECT_NE(std::find(functions.begin(), functions.end(), "CV_WaitDevice"), functions.end());
}

TEST_F(Dll, ADecoratedExportIsCalledAsThatCompilerCallsIt) {
    using GetImageSize = int (*)(char*, unsigned int&);
    auto getImageSize = reinterpret_cast<GetImageSize>(address("?CV_GetImageSize@@YAHPEADAEAI@Z"));
    ASSERT_NE(getImageSize, nullptr);
    char missing[] = "C:\\no\\such\\image.img";
    unsigned int sizeMB = 77;
    EXPECT_EQ(getImageSize(missing, sizeMB), 0);
}

TEST_F(Dll, TheDriverExportsAnswerWithoutTouchingTheSystem) {
    using InstallDriver = int (*)(char*);
    using IsPlugged = int (*)();
    auto install = reinterpret_cast<InstallDriver>(address("CVInstallDriver"));
    auto plugged = reinterpret_cast<IsPlugged>(address("CVIsCorvUsbPlug"));
    ASSERT_TRUE(install && plugged);
    char missing[] = "C:\\no\\such\\Driver\\corvusb50.inf";
    EXPECT_EQ(install(missing), 3);
    EXPECT_EQ(plugged(), 0);  // no player here
}

}  // namespace
