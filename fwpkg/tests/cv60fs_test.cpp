// CV60FSDLL as a caller sees it: loaded at run time, four functions by C name.
#include "fwpkg/cv60fs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "base/host.h"
#include "fwpkg/tests/fat_test_support.h"

namespace cv50::fwpkg {
namespace {

using namespace testing;
using sim::testing::readFile;
using sim::testing::writeFile;

class PackageLibrary {
public:
    PackageLibrary() {
        const std::string folder =
            std::filesystem::path(base::executablePath()).parent_path().string();
        for (const std::string& file : base::libraryCandidates("CV60FSDLL.dll", folder))
            if ((handle_ = base::openLibrary(file)) != nullptr) break;
        initialize = function<int (*)(const char*, int, int)>("FS_Initialize");
        getLoaderPath = function<int (*)(char*)>("FS_GetLoaderPath");
        writeFileToPc = function<int (*)(const char*, const char*)>("FS_WriteFileToPC");
        deInitialize = function<int (*)()>("FS_DeInitialize");
    }
    ~PackageLibrary() { base::closeLibrary(handle_); }
    bool complete() const { return initialize && getLoaderPath && writeFileToPc && deInitialize; }

    int (*initialize)(const char*, int, int) = nullptr;
    int (*getLoaderPath)(char*) = nullptr;
    int (*writeFileToPc)(const char*, const char*) = nullptr;
    int (*deInitialize)() = nullptr;

private:
    template <typename Fn>
    Fn function(const char* name) {
        if (!handle_) return nullptr;
        return reinterpret_cast<Fn>(base::librarySymbol(handle_, name));
    }
    void* handle_ = nullptr;
};

class Cv60FsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(lib.complete()); }
    void TearDown() override { lib.deInitialize(); }
    std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const std::string p = (dir / name).string();
        writeFile(p, bytes);
        return p;
    }
    // The loader path the library reports, in a 260-byte buffer with a guard after it.
    std::string loaderPath(int& result) {
        char buffer[260 + 8];
        std::memset(buffer, 0, 260);
        std::memset(buffer + 260, 0x5A, 8);
        result = lib.getLoaderPath(buffer);
        for (int i = 260; i < 268; ++i) EXPECT_EQ(buffer[i], 0x5A) << "written past the buffer";
        return result ? std::string(buffer) : std::string();
    }

    PackageLibrary lib;
    sim::testing::TempFolder temp;
    std::filesystem::path dir{temp.path()};
};

TEST_F(Cv60FsTest, FindsTheLoaderInTheRootFirstThenOneFolderDown) {
    const auto loader = patternBytes(5000, 7);
    std::string image =
        write("root.img", imageOf(folder("", {file("cvboot.bin", loader),
                                              folder("SYS", {file("CVBOOT.BIN", {1})})})));
    ASSERT_EQ(lib.initialize(image.c_str(), 0, 0), FsOk);
    int found = 0;
    EXPECT_EQ(loaderPath(found), "cvboot.bin");
    const std::string out = (dir / "out.bin").string();
    EXPECT_EQ(lib.writeFileToPc("C:\\cvboot.bin", out.c_str()), FsOk);
    EXPECT_EQ(readFile(out), loader);

    image = write("sub.img",
                  imageOf(folder("", {file("readme", {1}),
                                      folder("System Files", {file("CVBOOT.BIN", loader)})})));
    ASSERT_EQ(lib.initialize(image.c_str(), 0, 0), FsOk);
    const std::string inner = loaderPath(found);
    EXPECT_EQ(inner, "System Files\\CVBOOT.BIN");
    EXPECT_EQ(lib.writeFileToPc(("c:\\" + inner).c_str(), out.c_str()), FsOk);
    EXPECT_EQ(readFile(out), loader);
}

TEST_F(Cv60FsTest, ErrorsHaveTheirCodes) {
    int found = 1;
    const std::string out = (dir / "out.bin").string();
    EXPECT_EQ(lib.writeFileToPc("C:\\CVBOOT.BIN", out.c_str()), FsNotOpen);
    EXPECT_EQ(loaderPath(found), "");
    EXPECT_EQ(found, 0);

    EXPECT_EQ(lib.initialize((dir / "missing.img").string().c_str(), 0, 0), FsOpenFailed);
    EXPECT_EQ(loaderPath(found), "");
    EXPECT_EQ(lib.writeFileToPc("C:\\CVBOOT.BIN", out.c_str()), FsOpenFailed);
    EXPECT_EQ(lib.initialize(write("junk.img", patternBytes(4096, 0)).c_str(), 0, 0), FsBadImage);
    EXPECT_EQ(loaderPath(found), "");

    const std::string image =
        write("fw.img", imageOf(folder("", {file("CVBOOT.BIN", {1, 2}), folder("DIR", {})})));
    ASSERT_EQ(lib.initialize(image.c_str(), 0, 0), FsOk);
    EXPECT_EQ(lib.writeFileToPc("CVBOOT.BIN", out.c_str()), FsBadSourcePath);
    EXPECT_EQ(lib.writeFileToPc("D:\\CVBOOT.BIN", out.c_str()), FsBadSourcePath);
    EXPECT_EQ(lib.writeFileToPc("C:\\NOPE.BIN", out.c_str()), FsNotFound);
    EXPECT_EQ(lib.writeFileToPc("C:\\DIR", out.c_str()), FsNotAFile);
    EXPECT_EQ(lib.writeFileToPc("C:\\", out.c_str()), FsNotAFile);
    EXPECT_EQ(lib.writeFileToPc("C:\\CVBOOT.BIN", (dir / "no" / "out.bin").string().c_str()),
              FsCreateFailed);
    EXPECT_EQ(lib.deInitialize(), FsOk);
    EXPECT_EQ(lib.writeFileToPc("C:\\CVBOOT.BIN", out.c_str()), FsNotOpen);
}

TEST_F(Cv60FsTest, PathThatWouldNotFitTheBufferIsNotReported) {
    // 250 + "\" + 10 characters: more than 259 with the NUL.
    const std::string longFolder(250, 'f');
    const std::string image =
        write("long.img", imageOf(folder("", {folder(longFolder, {file("CVBOOT.BIN", {1})})})));
    ASSERT_EQ(lib.initialize(image.c_str(), 0, 0), FsOk);
    int found = 1;
    EXPECT_EQ(loaderPath(found), "");
    EXPECT_EQ(found, 0);
}

TEST_F(Cv60FsTest, DamagedFileLeavesNoDestinationBehind) {
    std::vector<std::uint8_t> bytes =
        imageOf(folder("", {file("CVBOOT.BIN", patternBytes(3000, 1))}));
    MemorySource source(bytes);
    std::unique_ptr<FatVolume> v;
    ASSERT_EQ(FatVolume::open(source, v), FatError::Ok);
    // A cycle in the loader's chain: cluster 3 points back to 2 (FAT12).
    const std::size_t at = v->geometry().reservedSectors * 512 + 3 + 1;
    bytes[at] = static_cast<std::uint8_t>((bytes[at] & 0x0F) | 0x20);
    bytes[at + 1] = 0x00;
    const std::string image = write("cyclic.img", bytes);
    ASSERT_EQ(lib.initialize(image.c_str(), 0, 0), FsOk);
    int found = 0;
    EXPECT_EQ(loaderPath(found), "CVBOOT.BIN");
    const std::string out = (dir / "out.bin").string();
    EXPECT_EQ(lib.writeFileToPc("C:\\CVBOOT.BIN", out.c_str()), FsDamaged);
    EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
}  // namespace cv50::fwpkg
