// A Windows host of CV50DLL.dll: loads it by name, resolves the exports and logs.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "fwpkg/packer.h"
#include "sim/testing/test_files.h"

namespace {

class Library {
public:
    explicit Library(const char* name) : module_(LoadLibraryA(name)) {}
    ~Library() {
        if (module_) FreeLibrary(module_);
    }
    explicit operator bool() const { return module_ != nullptr; }
    template <typename Fn>
    Fn get(const char* name) const {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }

private:
    HMODULE module_;
};

std::string today() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    char name[64];
    std::snprintf(name, sizeof name, "Log%04d-%02d-%02d.txt", st.wYear, st.wMonth, st.wDay);
    return name;
}

TEST(DllHost, LoadsByNameResolvesExportsAndLogsToTheDatedFile) {
    Library dll("CV50DLL.dll");
    ASSERT_TRUE(dll) << "LoadLibrary failed: " << GetLastError();

    using VoidFn = void (*)();
    using SetVidPidFn = void (*)(unsigned short, unsigned short, unsigned short, unsigned short);
    using SetLogPathFn = int (*)(char*);
    using LogFn = void (*)(const char*, ...);
    using AppendFn = int (*)(const char*);
    auto init = dll.get<VoidFn>("DllInitialize");
    auto deinit = dll.get<VoidFn>("DllDeInitialize");
    auto setVidPid = dll.get<SetVidPidFn>("SetVidPid");
    auto setLogPath = dll.get<SetLogPathFn>("SetLogPath");
    auto log = dll.get<LogFn>("Log");
    auto append = dll.get<AppendFn>("AppendLogLine");
    ASSERT_TRUE(init && deinit && setVidPid && setLogPath && log && append);

    const cv50::sim::testing::TempFolder temp;
    std::string folder = temp.path();

    init();
    setVidPid(0x071b, 0x3201, 0x071b, 0x3203);
    std::string missing = folder + "\\missing";
    EXPECT_EQ(setLogPath(missing.data()), 0);
    EXPECT_EQ(setLogPath(folder.data()), 1);
    const std::string before = today();
    log("INFO:host says %d", 42);
    EXPECT_EQ(append("ERROR:second line"), 1);
    const std::string after = today();
    deinit();

    std::string text;
    for (const std::string& name : {before, after})
        text += cv50::sim::testing::readTextFile(folder + "\\" + name);
    EXPECT_NE(text.find("\tINFO:host says 42\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\tERROR:second line\r\n"), std::string::npos) << text;
}

// The image exports, the C++ ones by their decorated names, with CV60FSDLL.dll found by
// the standard search order beside the program.
TEST(DllHost, ImageExportsReadAPackedImage) {
    Library dll("CV50DLL.dll");
    ASSERT_TRUE(dll) << "LoadLibrary failed: " << GetLastError();
    using ExtractFn = int (*)(char*, char*);
    using CheckFn = int (*)(char*);
    using VersionFn = int (*)(char*, unsigned short&, unsigned short&);
    using DiskSizeFn = int (*)(char*, unsigned int&, unsigned int&);
    using ImageSizeFn = int (*)(char*, unsigned int&);
    auto extract = dll.get<ExtractFn>("ExtractLoaderFile");
    auto check = dll.get<CheckFn>("CVCheckImage");
    auto loaderVersion = dll.get<VersionFn>("_Z19CV_GetLoaderVersionPcRtS0_");
    auto systemVersion = dll.get<VersionFn>("_Z19CV_GetSystemVersionPcRtS0_");
    auto diskSize = dll.get<DiskSizeFn>("_Z14CV_GetDiskSizePcRjS0_");
    auto imageSize = dll.get<ImageSizeFn>("_Z15CV_GetImageSizePcRj");
    ASSERT_TRUE(extract && check && loaderVersion && systemVersion && diskSize && imageSize);
    ASSERT_TRUE(dll.get<void*>("CVGetVersionFromImage"));

    const cv50::sim::testing::TempFolder temp;
    const std::filesystem::path folder = temp.path();
    cv50::flash::LoaderSpec spec;
    spec.versionHigh = 3;
    spec.versionLow = 45;
    for (std::size_t i = 0; i < 4; ++i) spec.pieces[i] = cv50::fwpkg::samplePiece(cv50::flash::kHeadPieceOrder[i]);
    const auto loader = *cv50::flash::buildLoaderFile(spec);
    cv50::sim::testing::writeFile(folder / "CVBOOT.BIN", loader);
    cv50::fwpkg::ImagePackInput input;
    input.loaderFile = folder / "CVBOOT.BIN";
    input.tail = {0x00070008, 96, 32};
    cv50::fwpkg::packImage(input, folder / "fw.img");

    std::string image = (folder / "fw.img").string();
    std::string out = (folder / "out.bin").string();
    EXPECT_EQ(check(image.data()), 1);
    ASSERT_EQ(extract(image.data(), out.data()), 1);
    EXPECT_EQ(std::filesystem::file_size(out), loader.size());
    unsigned short high = 0, low = 0;
    EXPECT_EQ(loaderVersion(image.data(), high, low), 1);
    EXPECT_EQ(high, 0x0003);
    EXPECT_EQ(low, 0x0045);
    EXPECT_EQ(systemVersion(image.data(), high, low), 1);
    EXPECT_EQ(high, 7);
    EXPECT_EQ(low, 8);
    unsigned int systemMB = 0, configMB = 0, sizeMB = 9;
    EXPECT_EQ(diskSize(image.data(), systemMB, configMB), 0);
    EXPECT_EQ(systemMB, 96u);
    EXPECT_EQ(configMB, 32u);
    EXPECT_EQ(imageSize(image.data(), sizeMB), 1);
    EXPECT_EQ(sizeMB, 0u);
}

}  // namespace
