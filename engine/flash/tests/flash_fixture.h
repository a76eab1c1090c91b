// Tests of the firmware-file steps: a still simulated world, a scratch folder that is also
// the temporary folder, and the log of the day read back.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/device/log.h"
#include "engine/flash/boot_head.h"
#include "fwpkg/packer.h"
#include "sim/testing/scoped_sim.h"

namespace cv50::flash::testing {

using sim::testing::readFile;
using sim::testing::writeFile;

class FlashFixture : public ::testing::Test {
protected:
    void SetUp() override {
        log::disable();
        ASSERT_TRUE(log::setFolder(logs.path().c_str()));
        world.sim().setTempFolder(temp.path() + "\\");
    }
    void TearDown() override { log::disable(); }

    std::string logText() const {
        return sim::testing::readTextFile(logs.file("Log2026-03-07.txt"));
    }
    // True when a line of the log is exactly `message` after its time and tab.
    bool logged(const std::string& message) const {
        return logText().find("\t" + message + "\r\n") != std::string::npos;
    }

    std::string path(const std::string& name) const { return temp.file(name); }

    // A loader file of the sample pieces, version 1.23, dated 2008-12-20.
    static std::vector<std::uint8_t> sampleLoader() {
        LoaderSpec spec;
        spec.dates = {2008, 12, 20};
        spec.versionHigh = 1;
        spec.versionLow = 23;
        for (std::size_t i = 0; i < 4; ++i) spec.pieces[i] = fwpkg::samplePiece(kHeadPieceOrder[i]);
        return *buildLoaderFile(spec);
    }

    // Packs an image of the sample loader and the files of `folder` (may be empty).
    fwpkg::PackedImage packSample(const std::string& image, const std::string& folder = "",
                                  const TailFields& tail = {0x00010002, 64, 16}) {
        writeFile(path("CVBOOT.BIN.src"), sampleLoader());
        fwpkg::ImagePackInput input;
        input.loaderFile = path("CVBOOT.BIN.src");
        input.folder = folder;
        input.tail = tail;
        return fwpkg::packImage(input, image);
    }

    sim::testing::ScopedSim world{
        sim::testing::ScenarioBuilder().speed(0.000001).time("2026-03-07T09:00:00.000")};
    sim::testing::TempFolder logs;
    sim::testing::TempFolder temp;
};

}  // namespace cv50::flash::testing
