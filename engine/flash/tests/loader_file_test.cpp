// Taking the loader out of an image through the package library, and unpacking it.
#include "engine/flash/loader_file.h"

#include <gtest/gtest.h>

#include <cstring>

#include "engine/api/exports.h"
#include "engine/flash/tests/flash_fixture.h"
#include "engine/os/os.h"

namespace cv50::flash {
namespace {

using testing::FlashFixture;
using testing::readFile;
using testing::writeFile;

class BootHeadTest : public FlashFixture {};

TEST_F(BootHeadTest, SignatureMustMatchUpToAndIncludingItsNul) {
    struct Case {
        const char* what;
        std::size_t at;
        std::uint8_t value;
        bool accepted;
    };
    const Case cases[] = {
        {"as built", 0, 'H', true},
        {"last character off", 28, 'y', false},
        {"no NUL after it", 29, 'x', false},
        {"first character off", 0, 'h', false},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> loader = sampleLoader();
        loader[c.at] = c.value;
        writeFile(path("head.bin"), loader);
        BootHead head;
        EXPECT_EQ(readBootHead(path("head.bin"), head), c.accepted) << c.what;
        PiecePaths paths;
        EXPECT_EQ(unpackBoot(path("head.bin"), paths, head), c.accepted) << c.what;
    }
    EXPECT_TRUE(logged("Error:Getting the info of boot head failed"));
    BootHead head;
    EXPECT_FALSE(readBootHead(path("missing.bin"), head));
    // A file shorter than the head is read as far as it goes.
    writeFile(path("short.bin"), std::vector<std::uint8_t>(kBootSignature, kBootSignature + 30));
    EXPECT_TRUE(readBootHead(path("short.bin"), head));
    EXPECT_EQ(head.extent(Piece::Data).size, 0u);
}

TEST_F(BootHeadTest, UnpackCutsTheFourPiecesIntoTheTemporaryFolder) {
    writeFile(path("CVBOOT.BIN"), sampleLoader());
    PiecePaths paths;
    BootHead head;
    ASSERT_TRUE(unpackBoot(path("CVBOOT.BIN"), paths, head));
    const std::string folder = temp.path() + "\\";
    EXPECT_EQ(paths.data, folder + "data.bin");
    EXPECT_EQ(paths.prog, folder + "prog.bin");
    EXPECT_EQ(paths.prog2nd, folder + "prog2nd.bin");
    EXPECT_EQ(paths.flashBoot, folder + "FlashBoot.bin");
    for (Piece piece : kHeadPieceOrder)
        EXPECT_EQ(readFile(path(pieceFileName(piece))), fwpkg::samplePiece(piece))
            << pieceFileName(piece);
    EXPECT_EQ(idBlockWords(head)[2], 0x0123);
}

TEST_F(BootHeadTest, TemporaryFolderWithoutTrailingBackslashStillGivesOne) {
    world.sim().setTempFolder(temp.path());
    EXPECT_EQ(bootTempFolder(), temp.path() + "\\");
    writeFile(path("CVBOOT.BIN"), sampleLoader());
    PiecePaths paths;
    BootHead head;
    ASSERT_TRUE(unpackBoot(path("CVBOOT.BIN"), paths, head));
    EXPECT_EQ(paths.data, temp.path() + "\\data.bin");
    EXPECT_TRUE(std::filesystem::exists(path("data.bin")));
}

// A loader whose prog2nd piece has `size` bytes (the last piece in the file).
std::vector<std::uint8_t> loaderWithProg2nd(std::size_t size) {
    LoaderSpec spec;
    spec.pieces = {std::vector<std::uint8_t>(10, 1), std::vector<std::uint8_t>(20, 2),
                   std::vector<std::uint8_t>(30, 3),
                   std::vector<std::uint8_t>(std::min<std::size_t>(size, kMaxPieceSize), 4)};
    std::vector<std::uint8_t> file = *buildLoaderFile(spec);
    if (size > kMaxPieceSize) {
        file.resize(file.size() + size, 4);
        for (int i = 0; i < 4; ++i) file[0x60 + i] = static_cast<std::uint8_t>(size >> (8 * i));
    }
    return file;
}

TEST_F(BootHeadTest, PieceSizesFromNothingTo65536AreCutLargerOnesFail) {
    struct Case {
        std::size_t size;
        bool ok;
    };
    for (const Case c : {Case{0, true}, Case{65536, true}, Case{65537, false}}) {
        writeFile(path("CVBOOT.BIN"), loaderWithProg2nd(c.size));
        PiecePaths paths;
        BootHead head;
        EXPECT_EQ(unpackBoot(path("CVBOOT.BIN"), paths, head), c.ok) << c.size;
        if (c.ok) {
            EXPECT_EQ(std::filesystem::file_size(path("prog2nd.bin")), c.size);
        }
    }
    EXPECT_TRUE(logged("Error:Unpack the boot file failed"));
    // prog2nd's size is signed: a negative one is refused too.
    std::vector<std::uint8_t> negative = loaderWithProg2nd(10);
    std::memset(negative.data() + 0x60, 0xFF, 4);
    writeFile(path("CVBOOT.BIN"), negative);
    PiecePaths paths;
    BootHead head;
    EXPECT_FALSE(unpackBoot(path("CVBOOT.BIN"), paths, head));
}

TEST_F(BootHeadTest, LoaderShorterThanOffsetPlusSizeFailsAndKeepsThePiecesBefore) {
    const std::vector<std::uint8_t> sample = sampleLoader();
    const PieceExtent last = bootHeadFromBytes(sample).extent(Piece::Prog2nd);
    struct Case {
        const char* what;
        std::uint32_t offset, size;
        std::size_t length;
    };
    // The exact read alone lets an empty piece past the end through.
    for (const Case c :
         {Case{"one byte short", last.offset, last.size, last.offset + last.size - 1},
          Case{"empty, past the end", 0xFFFF, 0, sample.size()},
          Case{"empty, 2 GiB on", 0x80000000, 0, sample.size()}}) {
        std::vector<std::uint8_t> loader = sample;
        loader.resize(c.length);
        for (int i = 0; i < 4; ++i) {
            loader[0x5C + i] = static_cast<std::uint8_t>(c.offset >> (8 * i));
            loader[0x60 + i] = static_cast<std::uint8_t>(c.size >> (8 * i));
        }
        writeFile(path("CVBOOT.BIN"), loader);
        std::filesystem::remove(path("data.bin"));
        PiecePaths paths;
        BootHead head;
        EXPECT_FALSE(unpackBoot(path("CVBOOT.BIN"), paths, head)) << c.what;
        EXPECT_EQ(readFile(path("data.bin")), fwpkg::samplePiece(Piece::Data)) << c.what;
        EXPECT_EQ(readFile(path("prog.bin")), fwpkg::samplePiece(Piece::Prog)) << c.what;
    }
    EXPECT_TRUE(logged("Error:Unpack the boot file failed"));
}

class ExtractLoaderTest : public FlashFixture {
protected:
    std::string library(const std::string& name) {
        return os::current().programFolder() + name + ".dll";
    }
};

TEST_F(ExtractLoaderTest, CopiesTheLoaderOutOfAPackedImage) {
    packSample(path("fw.img"));
    std::string image = path("fw.img");
    std::string out = path("out.bin");
    ASSERT_EQ(ExtractLoaderFile(image.data(), out.data()), 1) << logText();
    EXPECT_EQ(readFile(out), sampleLoader());
    EXPECT_EQ(logText(), "");
}

TEST_F(ExtractLoaderTest, FailuresOfThePackageAreLoggedAsTheyHappen) {
    fwpkg::FatNode root;
    root.directory = true;
    fwpkg::FatNode readme;
    readme.name = "readme.txt";
    readme.bytes = {'h', 'i'};
    root.children.push_back(readme);
    std::vector<std::uint8_t> fat;
    fwpkg::writeFatImage(root, {}, [&](std::span<const std::uint8_t> b) {
        fat.insert(fat.end(), b.begin(), b.end());
        return true;
    });
    writeFile(path("noloader.img"), fat);
    EXPECT_FALSE(extractLoaderFile(path("noloader.img"), path("out.bin")));
    EXPECT_TRUE(logged("ERROR:FS_GetLoaderPath failed"));
    EXPECT_FALSE(extractLoaderFile(path("missing.img"), path("out.bin")));

    packSample(path("fw.img"));
    EXPECT_FALSE(extractLoaderFile(path("fw.img"), path("no-such-folder/out.bin")));
    EXPECT_TRUE(logged("ERROR:FS_WriteFileToPC failed,ErrCode(8)")) << logText();
}

TEST_F(ExtractLoaderTest, MissingLibraryOrFunctionGivesItsMessage) {
    packSample(path("fw.img"));
    EXPECT_FALSE(
        extractLoaderFile(path("fw.img"), path("out.bin"), library("NoSuchPackageLibrary")));
    EXPECT_TRUE(logged("ERROR:Loading CV60FSDLL failed"));
    for (const char* fn :
         {"FS_Initialize", "FS_WriteFileToPC", "FS_GetLoaderPath", "FS_DeInitialize"}) {
        EXPECT_FALSE(extractLoaderFile(path("fw.img"), path("out.bin"),
                                       library(std::string("fsstub_no_") + fn)));
        EXPECT_TRUE(logged(std::string("ERROR:Getting ") + fn + " failed")) << fn << "\n"
                                                                            << logText();
    }
    EXPECT_FALSE(std::filesystem::exists(path("out.bin")));
}

}  // namespace
}  // namespace cv50::flash
