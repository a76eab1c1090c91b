// The production tool's start, its controls, the checks before a batch, the station's
// events as list lines and cells, the counters and the close.
#include "apps/batch/core/batch_tool.h"

#include <cstdio>

#include "apps/batch/core/control_ids.h"
#include "apps/batch/core/texts.h"
#include "apps/common/boot_texts.h"
#include "apps/common/language_files.h"
#include "apps/common/partition_text.h"
#include "engine/device/log.h"
#include "engine/device/match_ids.h"
#include "engine/os/os.h"

namespace cv50::batch {
namespace {

// Looked-up texts are cut to this, as the list's callers read them.
constexpr std::size_t kTextBuffer = 512;

// The controls a batch disables and its end enables again.
constexpr int kBatchControls[] = {IDC_BOOT_CHOOSE, IDC_IMAGE_CHOOSE, IDC_UPGRADE, IDC_COPY,
                                  IDC_RESET_COUNTERS, IDC_SWITCH, IDC_AUTO, IDC_FORCE_ERASE,
                                  IDC_IMAGE, IDC_DEMO};

int numberCell(int slot) { return IDC_NUMBER_CELL + slot; }

}  // namespace

// The station's events, shown through the view. Called from the station's threads.
class BatchTool::Listener : public StationListener {
public:
    explicit Listener(BatchTool& tool) : tool_(tool) {}

    void line(int, const std::string& layer, Line line, int value) override {
        std::vector<apps::FormatArg> args{layer};
        if (takesValue(line)) args.emplace_back(value);
        tool_.list(isFailure(line) ? kListFailure : kListText,
                   tool_.languageText(static_cast<int>(line), args));
    }
    void cellColour(int slot, std::uint32_t colour) override {
        tool_.view_.setCellBackground(numberCell(slot), colour);
    }
    void cellText(int slot, const std::string& text) override {
        tool_.view_.setText(numberCell(slot), text);
    }
    void cellBlink(int slot, bool blinking) override {
        if (blinking)
            tool_.view_.startCellBlink(numberCell(slot), colour::kBlinkA, colour::kBlinkB,
                                       colour::kBlinkPeriodMs);
        else
            tool_.view_.stopCellBlink(numberCell(slot));
    }
    void layerText(int slot, const std::string& text) override {
        tool_.view_.setText(IDC_LAYER_CELL + slot, text);
    }
    void postStageDone(StageMessage message, int slot, bool failed) override {
        tool_.view_.postStageDone(
            message == StageMessage::ImageStageDone ? WM_IMAGE_STAGE_DONE : WM_DEMO_STAGE_DONE,
            slot, failed);
    }
    void batchStarting(int devices) override { tool_.batchStarting(devices); }
    void demoStageStarting(int devices) override { tool_.demoStageStarting(devices); }
    void batchEnded(int succeeded, int failed) override { tool_.batchEnded(succeeded, failed); }

private:
    BatchTool& tool_;
};

BatchTool::BatchTool(View& view, std::string programFolder)
    : view_(view), programFolder_(std::move(programFolder)),
      listener_(std::make_unique<Listener>(*this)) {}

BatchTool::~BatchTool() { station_.reset(); }

void BatchTool::start() {
    os::Os& sys = os::current();
    settings_ = LoadSettings(programFolder_);
    if (!settings_.opened) {
        sys.messageBox(text::kNoSettings, text::kMessageCaption, os::MessageButtons::Ok,
                       os::MessageIcon::Information);
    } else {
        const auto languages = apps::listLanguages(programFolder_ + text::kLanguageFolder);
        if (const apps::Language* chosen = apps::chooseLanguage(languages, settings_.language))
            languageFile_ = chosen->path;
    }
    device::MatchIds& ids = device::matchIds();
    ids.corvUsbVid = settings_.corvUsbVid;
    ids.corvUsbPid = settings_.corvUsbPid;
    ids.corvMscVid = settings_.corvMscVid;
    ids.corvMscPid = settings_.corvMscPid;
    StationConfig config;
    config.walk = device::walkFor(settings_.supportUsb11);
    config.dumpFolder = programFolder_ + "log\\";
    station_ = std::make_unique<Station>(*listener_, std::move(config));

    forceErase_ = settings_.forceErase;
    view_.setChecked(IDC_FORCE_ERASE, forceErase_);
    view_.setChecked(IDC_AUTO, false);
    view_.setChecked(IDC_IMAGE, true);
    view_.setEnabled(IDC_IMAGE_PATH, true);
    view_.setChecked(IDC_DEMO, false);
    view_.setEnabled(IDC_DEMO_PATH, false);
    view_.setText(IDC_SUCCEEDED, "0");
    view_.setText(IDC_FAILED, "0");
    view_.applyLanguage(languageFile_);
    for (int i = 0; i < kSlots; ++i) {
        view_.setCellColours(numberCell(i), colour::kAbsent, colour::kNumberText);
        view_.setText(numberCell(i), std::to_string(i + 1));
        view_.setText(IDC_LAYER_CELL + i, "");
    }

    tempFolder_ = flash::bootTempFolder();
    if (settings_.logEnabled) {
        const std::string folder = programFolder_ + "Log";
        if (sys.createFolder(folder) && log::setFolder((folder + "\\").c_str()))
            Log("%s", text::kStarted);
    } else {
        log::disable();
    }
    boot_ = {tempFolder_ + text::kStartBootData, tempFolder_ + text::kStartBootProg,
             tempFolder_ + text::kStartBootProg2nd, tempFolder_ + text::kStartBootFlash};

    if (!settings_.defaultDemoDir.empty() &&
        sys.pathKind(settings_.defaultDemoDir) == os::PathKind::Folder) {
        chooseDemoFolder(settings_.defaultDemoDir);
        onChecked(IDC_DEMO, true);
        view_.setChecked(IDC_DEMO, true);
    }
    if (!settings_.defaultImage.empty() &&
        sys.pathKind(settings_.defaultImage) == os::PathKind::File) {
        imagePath_ = settings_.defaultImage;
        view_.setText(IDC_IMAGE_PATH, imagePath_);
        if (!readTrailer(imagePath_)) {
            imagePath_.clear();
            view_.setText(IDC_IMAGE_PATH, "");
        } else {
            warnImageTooLarge();
            if (!extractBoot(imagePath_) || !unpackBootFile(tempBootFile())) clearBootFields();
        }
    }
    station_->start();
}

void BatchTool::onChecked(int control, bool checked) {
    switch (control) {
        case IDC_FORCE_ERASE:
            forceErase_ = checked;
            return;
        case IDC_IMAGE:
            imageBox_ = checked;
            return view_.setEnabled(IDC_IMAGE_PATH, checked);
        case IDC_DEMO:
            demo_ = checked;
            return view_.setEnabled(IDC_DEMO_PATH, checked);
        default:
            return;
    }
}

void BatchTool::onText(int control, const std::string& value) {
    switch (control) {
        case IDC_BOOT_VERSION:
            bootVersion_ = value;
            return;
        case IDC_BOOT_DATE:
            bootDate_ = value;
            return;
        case IDC_IMAGE_PATH:
            imagePath_ = value;
            return;
        case IDC_DEMO_PATH:
            demoPath_ = value;
            return;
        default:
            return;
    }
}

void BatchTool::chooseDemoFolder(const std::string& path) {
    if (path.empty()) return;
    demoPath_ = path;
    view_.setText(IDC_DEMO_PATH, path);
}

void BatchTool::onUpgrade() {
    os::Os& sys = os::current();
    if (bootPath_.empty()) return messageBox(languageText(key::kNoBootFile), true);
    if (imagePath_.empty()) return messageBox(languageText(key::kNoImageFile), true);
    const auto size = sys.fileSize(imagePath_);
    if (!size || *size == 0) return messageBox(languageText(key::kImageUnreadable), true);
    if (*size % 1024 != 32) return messageBox(languageText(key::kImageSizeInvalid), true);
    // The path may have been typed after the last choice: its own trailer decides.
    if (!readTrailer(imagePath_)) return messageBox(languageText(key::kImageUnreadable), true);

    const apps::PartitionResult partition =
        apps::CheckPartition(settings_.partition, minimumConfigMB_, [&] {
            return sys.messageBox(text::kUseMinimum, text::kPromptCaption,
                                  os::MessageButtons::OkCancel,
                                  os::MessageIcon::Information) == os::MessageAnswer::Ok;
        });
    if (partition.verdict == apps::PartitionVerdict::Invalid)
        return messageBox(text::kBadPartition, false);
    if (partition.verdict == apps::PartitionVerdict::Cancelled) return;

    BatchOptions options;
    options.boot = boot_;
    options.imagePath = imagePath_;
    options.imageSizeMB = static_cast<std::uint32_t>(*size / 1024 / 1024);
    options.systemDiskMB = systemDiskMB_;
    options.trailerPresent = trailerPresent_;
    options.partition = partition.text;
    options.forceErase = forceErase_;
    options.loaderWords = apps::idBlockWordsFromTexts(bootVersion_, bootDate_);
    options.demo = demo_;
    options.demoFolder = demoPath_;
    options.volumeLabel = settings_.diskVolume;
    options.askSystemDiskFormat = languageText(key::kAskSystemDisk);
    options.askUserDiskFormat = languageText(key::kAskUserDisk);
    options.askForceErase = languageText(key::kAskForceErase);
    if (station_->startBatch(options) == 0) return messageBox(languageText(key::kNoDevice), true);
}

void BatchTool::onSwitch() { station_->switchDisks(); }

void BatchTool::onResetCounters() {
    succeededTotal_ = failedTotal_ = 0;
    view_.setText(IDC_SUCCEEDED, "0");
    view_.setText(IDC_FAILED, "0");
}

void BatchTool::onClearList() { view_.clearList(); }

void BatchTool::onStageDone(int message, int slot, bool failed) {
    station_->stageDone(message == WM_DEMO_STAGE_DONE ? StageMessage::DemoStageDone
                                                      : StageMessage::ImageStageDone,
                        slot, failed);
}

void BatchTool::batchStarting(int devices) {
    setBatchControls(false);
    const std::string line = languageText(key::kBatchStarts, {devices});
    list(kListText, line);
    Log("%s", line.c_str());
}

void BatchTool::demoStageStarting(int devices) {
    const std::string line = languageText(key::kDemoStageStarts, {devices});
    list(kListText, line);
    Log("%s", line.c_str());
}

void BatchTool::batchEnded(int succeeded, int failed) {
    const std::string line = languageText(key::kBatchResult, {succeeded, failed});
    list(kListText, line);
    Log("%s", line.c_str());
    succeededTotal_ += succeeded;
    failedTotal_ += failed;
    view_.setText(IDC_SUCCEEDED, std::to_string(succeededTotal_));
    view_.setText(IDC_FAILED, std::to_string(failedTotal_));
    setBatchControls(true);
}

void BatchTool::setBatchControls(bool enabled) {
    for (int control : kBatchControls) view_.setEnabled(control, enabled);
}

bool BatchTool::requestClose() {
    if (++closeRequests_ > 1) return false;
    os::Os& sys = os::current();
    for (const std::string* part : {&boot_.data, &boot_.prog, &boot_.prog2nd, &boot_.flashBoot})
        if (sys.pathKind(*part) == os::PathKind::File) sys.deleteFile(*part);
    if (sys.pathKind(tempBootFile()) == os::PathKind::File) sys.deleteFile(tempBootFile());
    if (station_) station_->stop();
    return true;
}

std::string BatchTool::languageText(int key, const std::vector<apps::FormatArg>& args) {
    const std::string name = "IDS_" + std::to_string(key);
    const std::string format = apps::lookUpText(languageFile_, name, kTextBuffer);
    return apps::formatChecked(format, args, [&](std::string_view, const apps::FormatRefusal& r) {
        {
            std::lock_guard lock(refusedMutex_);
            if (!refusedKeys_.insert(key).second) return;
        }
        Log(text::kLanguageRefused, name.c_str(), r.reason.c_str());
    });
}

void BatchTool::messageBox(const std::string& message, bool stopIcon) {
    os::current().messageBox(message, text::kMessageCaption, os::MessageButtons::Ok,
                             stopIcon ? os::MessageIcon::Error : os::MessageIcon::None);
}

void BatchTool::list(int colour, const std::string& line) {
    // Without a language file there is nothing to show.
    if (!line.empty()) view_.addListLine(colour, kListBackground, line);
}

}  // namespace cv50::batch
