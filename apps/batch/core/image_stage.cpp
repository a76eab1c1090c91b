// The image stage of a slot, started by the monitor when the device is back as a Loader:
// it waits at the Image gate for the others of the batch, tests the device until its loader
// is ready, writes and verifies the image, and shows the share done in its cell.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "apps/batch/core/device_lines.h"
#include "apps/batch/core/station.h"
#include "apps/batch/core/texts.h"
#include "cvusbcomm/cvusbcomm.h"
#include "engine/device/log.h"
#include "engine/flash/device_steps.h"
#include "engine/flash/image_download.h"
#include "engine/os/os.h"

namespace cv50::batch {
namespace {

// The cell shows the share done after every this many pieces.
constexpr int kPiecesPerPercentUpdate = 64;

std::string percentText(std::uint64_t done, std::uint64_t total) {
    // A loader may report a scan of 0 blocks: that is no share of anything yet.
    const std::uint64_t percent = total == 0 ? 0 : done * 100 / total;
    char text[16];
    std::snprintf(text, sizeof text, "%d%%", static_cast<int>(percent));
    return text;
}

}  // namespace

void Station::imageDownload(int index) {
    const std::shared_ptr<const BatchOptions> options = this->options();
    std::string path, layer;
    {
        std::lock_guard lock(table_);
        const PortSlot& s = slots_[static_cast<std::size_t>(index)];
        path = s.device.devicePath;
        layer = s.device.layer;
    }
    const char* l = layer.c_str();
    const auto say = [&](Line line, int value = 0) { listener_.line(index, layer, line, value); };
    const std::string number = std::to_string(index + 1);

    // Image downloads begin when every device of the batch is back or given up.
    imageGate_.release();
    if (!imageGate_.wait()) return;

    listener_.cellBlink(index, true);
    say(Line::ImageThread);
    Log(text::kImageThread, l, path.c_str());
    say(Line::TestStart);
    Log(text::kTestStart, l);
    flash::ReadyWatch watch;
    watch.busy = [&](unsigned total, unsigned current) {
        listener_.cellText(index, percentText(current, total));
    };
    watch.failed = [&](int code) { Log(text::kImageTestAttemptFailed, l, code); };
    watch.stop = [this] { return stopping_.load(); };
    if (!flash::TestUntilReady(path, watch)) {
        if (stopping_) return;
        listener_.cellText(index, number);
        say(Line::TestFailed);
        return failSlot(index, StageMessage::ImageStageDone, config_.reasons.testFailed);
    }

    listener_.cellText(index, number);
    say(Line::ImageStart);
    Log(text::kImageStart, l);
    os::Os& sys = os::current();
    const std::uint64_t start = sys.tickMs();
    const auto size = sys.fileSize(options->imagePath);
    const std::uint64_t imageKiB = size && *size >= 32 ? (*size - 32) / 1024 : 0;
    say(Line::ImageWriting);
    flash::ImagePhase phase = flash::ImagePhase::Written;
    int pieces = 0;
    const flash::ImageProgress progress = [&](flash::ImagePhase now, std::uint64_t done,
                                              std::uint64_t total) {
        if (now != phase) {
            phase = now;
            pieces = 0;
            say(Line::ImageVerifying);
        }
        listener_.imageProgress(index, now == flash::ImagePhase::Checked, done, total);
        if (++pieces % kPiecesPerPercentUpdate == 0)
            listener_.cellText(index, percentText(done / 1024, imageKiB));
    };
    const flash::ImageMismatch mismatch = [&](std::uint32_t first, std::uint32_t sectors,
                                              std::span<const std::uint8_t> fromFile,
                                              std::span<const std::uint8_t> fromDevice,
                                              std::uint64_t checked) {
        keepMismatch(path, layer, first, sectors, fromFile, fromDevice, checked);
    };
    const int result = withDeviceLines(
        layer, [&] { return flash::DownloadImage(path, options->imagePath, progress, mismatch); });
    listener_.cellText(index, number);
    if (result != 0) {
        say(Line::ImageFailed);
        return failSlot(index, StageMessage::ImageStageDone,
                        text::withCode(config_.reasons.image.c_str(), result));
    }
    const int elapsed = static_cast<int>(sys.tickMs() - start);
    say(Line::ImageDone, elapsed);
    Log(text::kImageDone, l, elapsed);
    bool fromMaskRom;
    {
        std::lock_guard lock(table_);
        PortSlot& s = slots_[static_cast<std::size_t>(index)];
        s.status = SlotStatus::Succeeded;
        fromMaskRom = s.fromMaskRom;
    }
    listener_.cellBlink(index, false);
    if (!options->demo) {
        say(Line::UpgradeDone);
        Log(text::kUpgradeDone, l);
    }
    listener_.cellColour(index, fromMaskRom ? colour::kFromMaskRom : colour::kFromLoader);
    listener_.postStageDone(StageMessage::ImageStageDone, index, false);
}

void Station::keepMismatch(const std::string& path, const std::string& layer, std::uint32_t first,
                           std::uint32_t sectors, std::span<const std::uint8_t> fromFile,
                           std::span<const std::uint8_t> fromDevice, std::uint64_t checked) {
    Log(text::kCompareFailed, static_cast<int>(checked));
    if (config_.dumpFolder.empty()) return;
    os::Os& sys = os::current();
    (void)sys.createFolder(config_.dumpFolder.substr(0, config_.dumpFolder.find_last_not_of('\\') + 1));
    const os::LocalTime t = sys.localTime();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, text::kDumpTime, t.hour, t.minute, t.second, t.millisecond);
    const std::string base = config_.dumpFolder + stamp;
    const auto keep = [&](const char* name, std::span<const std::uint8_t> bytes) {
        os::UniqueFile f(sys.openFile(base + name, "wb"));
        if (f) std::fwrite(bytes.data(), 1, bytes.size(), f.get());
    };
    keep("old.bin", fromFile);
    keep("new.bin", fromDevice);
    // A second read tells a device that keeps what it stores from one that reads unsteadily.
    std::vector<std::uint8_t> again(fromDevice.size());
    const int r = CVU_ReadLBA(path.c_str(), first, sectors, again.data());
    if (r != 0) {
        Log(text::kSecondReadFailed, layer.c_str(), r);
        return;
    }
    keep("new2.bin", again);
    const bool same = std::equal(again.begin(), again.end(), fromFile.begin(), fromFile.end());
    Log(same ? text::kSecondCompareMatches : text::kSecondCompareDiffers, layer.c_str());
}

}  // namespace cv50::batch
