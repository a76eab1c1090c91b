// The engineering tool's start, its controls, the files it is given, the Upgrade checks,
// the end of a pass and the exit.
#include "apps/engineering/core/engineering_tool.h"

#include <cstdio>

#include "apps/common/boot_texts.h"
#include "apps/common/partition_text.h"
#include "apps/engineering/core/control_ids.h"
#include "apps/engineering/core/texts.h"
#include "engine/device/log.h"
#include "engine/device/match_ids.h"
#include "engine/flash/image_check.h"
#include "engine/flash/user_prompt.h"
#include "engine/os/os.h"

namespace cv50::engineering {

namespace {

// The controls Upgrade disables and the end of a run enables again.
constexpr int kRunControls[] = {
    IDC_UPGRADE,  IDC_BOOT_CHOOSE, IDC_IMAGE_CHOOSE, IDC_DEMO_CHOOSE,   IDC_SWITCH,
    IDC_CAPACITY, IDC_ERASE_IDB,   IDC_FORCE_ERASE,  IDC_DOWNLOAD_BOOT, IDC_SERIAL,
    IDC_DEMO,     IDC_PARTITION,   IDC_SERIAL_TEXT};

std::string formatted(const char* format, int a, int b) {
    char text[512];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

}  // namespace

EngineeringTool::EngineeringTool(View& view, std::string programFolder)
    : view_(view),
      log_(view),
      programFolder_(std::move(programFolder)),
      controls_(std::make_unique<Controls>()) {}

EngineeringTool::~EngineeringTool() {
    quit_ = true;
    if (controller_.joinable()) controller_.join();
    if (step_.joinable()) step_.join();
    log::SetLineListener({});
    flash::SetPromptAnswerer({});
}

void EngineeringTool::start() {
    os::Os& sys = os::current();
    tempFolder_ = flash::bootTempFolder();
    settings_ = LoadSettings(programFolder_);
    if (!settings_.opened)
        sys.messageBox(text::kSettingsUnopenable, text::kErrorCaption, os::MessageButtons::Ok,
                       os::MessageIcon::Error);
    device::MatchIds& ids = device::matchIds();
    ids.corvUsbVid = settings_.corvUsbVid;
    ids.corvUsbPid = settings_.corvUsbPid;
    ids.corvMscVid = settings_.corvMscVid;
    ids.corvMscPid = settings_.corvMscPid;
    log_.setDebugLevel(settings_.debugLevel);
    if (settings_.logEnabled) {
        const std::string folder = programFolder_ + "Log";
        if (sys.createFolder(folder)) (void)log::setFolder(folder.c_str());
    }
    log::SetLineListener([this](const std::string& line) { log_.engineLine(line); });
    // The engine's questions are this tool's boxes; a No there ends the step.
    flash::SetPromptAnswerer([this](const std::string& question, const std::string& caption) {
        const bool ok =
            os::current().messageBox(question, caption, os::MessageButtons::OkCancel,
                                     os::MessageIcon::Information) == os::MessageAnswer::Ok;
        // Only the engine's own questions end the step when refused.
        const bool correction =
            question == text::kAskOffsetCorrection || question == text::kAskReservedCorrection;
        if (!ok && !correction) log_.line(kLevelProgress, "%s", text::kUserCancelled);
        return ok;
    });

    {
        std::lock_guard lock(controlsMutex_);
        controls_->forceErase = settings_.forceErase;
        controls_->autoUpgrade = settings_.opened && settings_.autoUpgrade;
        controls_->serial = settings_.serialTicked;
        controls_->repeatCount = std::to_string(settings_.upgradeTimes);
        controls_->partition = settings_.partition;
    }
    view_.setText(IDC_PARTITION, settings_.partition);
    view_.setText(IDC_REPEAT, std::to_string(settings_.upgradeTimes));
    view_.setChecked(IDC_FORCE_ERASE, settings_.forceErase);
    view_.setChecked(IDC_DOWNLOAD_BOOT, true);
    view_.setChecked(IDC_AUTO, settings_.opened && settings_.autoUpgrade);
    view_.setEnabled(IDC_REPEAT, settings_.opened && settings_.autoUpgrade);
    view_.setChecked(IDC_DEMO, false);
    view_.setEnabled(IDC_DEMO_PATH, false);
    view_.setChecked(IDC_SERIAL, settings_.serialTicked);
    view_.setEnabled(IDC_SERIAL_TEXT, settings_.serialTicked);

    if (!settings_.defaultDemoDir.empty() &&
        sys.pathKind(settings_.defaultDemoDir) == os::PathKind::Folder) {
        chooseDemoFolder(settings_.defaultDemoDir);
        onChecked(IDC_DEMO, true);
        view_.setChecked(IDC_DEMO, true);
    }
    if (!settings_.defaultImage.empty() &&
        sys.pathKind(settings_.defaultImage) == os::PathKind::File)
        loadImage(settings_.defaultImage, false);

    view_.setText(IDC_DEVICE_LINE, text::kDeviceNone);
    controller_ = std::thread([this] { controllerLoop(); });
    log_.banner(text::kBannerStart);
}

void EngineeringTool::onChecked(int control, bool checked) {
    {
        std::lock_guard lock(controlsMutex_);
        Controls& c = *controls_;
        switch (control) {
            case IDC_FORCE_ERASE:
                c.forceErase = checked;
                break;
            case IDC_DOWNLOAD_BOOT:
                c.downloadBoot = checked;
                break;
            case IDC_AUTO:
                c.autoUpgrade = checked;
                break;
            case IDC_DEMO:
                c.demo = checked;
                break;
            case IDC_SERIAL:
                c.serial = checked;
                break;
            default:
                return;
        }
    }
    if (control == IDC_AUTO) view_.setEnabled(IDC_REPEAT, checked);
    if (control == IDC_DEMO) view_.setEnabled(IDC_DEMO_PATH, checked);
    if (control == IDC_SERIAL) view_.setEnabled(IDC_SERIAL_TEXT, checked);
}

void EngineeringTool::onText(int control, const std::string& value) {
    std::lock_guard lock(controlsMutex_);
    Controls& c = *controls_;
    switch (control) {
        case IDC_REPEAT:
            c.repeatCount = value;
            break;
        case IDC_PARTITION:
            c.partition = value;
            break;
        case IDC_SERIAL_TEXT:
            c.serialText = value;
            break;
        case IDC_BOOT_VERSION:
            c.bootVersion = value;
            break;
        case IDC_BOOT_DATE:
            c.bootDate = value;
            break;
        case IDC_DEMO_PATH:
            c.demoPath = value;
            break;
        default:
            break;
    }
}

void EngineeringTool::messageBox(const std::string& message, const std::string& caption) {
    os::current().messageBox(message, caption.empty() ? text::kMessageCaption : caption,
                             os::MessageButtons::Ok, os::MessageIcon::None);
}

void EngineeringTool::clearBootFields() {
    bootReady_ = false;
    for (int control : {IDC_BOOT_PATH, IDC_BOOT_VERSION, IDC_BOOT_DATE, IDC_MERGE_VERSION}) {
        view_.setText(control, "");
        onText(control, "");
    }
}

bool EngineeringTool::unpackBootFile(const std::string& path) {
    std::lock_guard lock(section_);
    os::Os& sys = os::current();
    flash::BootHead head;
    if (!flash::readBootHead(path, head)) {
        sys.messageBox(text::kBootBadHead, text::kBootCaption, os::MessageButtons::Ok,
                       os::MessageIcon::Error);
        clearBootFields();
        return false;
    }
    if (!flash::unpackBoot(path, pieces_, head)) {
        sys.messageBox(text::kBootUnpackFailed, text::kBootCaption, os::MessageButtons::Ok,
                       os::MessageIcon::Error);
        clearBootFields();
        return false;
    }
    bootReady_ = true;
    const std::string version = apps::bootVersionText(head);
    const std::string date = apps::bootDateText(head);
    view_.setText(IDC_BOOT_PATH, path);
    view_.setText(IDC_BOOT_VERSION, version);
    view_.setText(IDC_BOOT_DATE, date);
    view_.setText(IDC_MERGE_VERSION, apps::bootMergeText(head));
    onText(IDC_BOOT_VERSION, version);
    onText(IDC_BOOT_DATE, date);
    return true;
}

void EngineeringTool::chooseBootFile(const std::string& path) { unpackBootFile(path); }

bool EngineeringTool::loadImage(const std::string& path, bool askReplace) {
    os::Os& sys = os::current();
    {
        std::lock_guard lock(section_);
        imagePath_ = path;
        view_.setText(IDC_IMAGE_PATH, path);
        const auto size = sys.fileSize(path);
        imageSizeMB_ = size && *size >= 32 ? static_cast<std::uint32_t>((*size - 32) / 1048576) : 0;
        flash::TailBlock tail;
        hasSizeRecord_ = flash::readTailBlock(path, tail) && tail.hasTag();
        if (hasSizeRecord_) {
            systemDiskMB_ = tail.fields().systemDiskMB;
            minimumConfigMB_ = tail.fields().configDiskMB;
            view_.setText(IDC_PARTITION, std::to_string(minimumConfigMB_));
            onText(IDC_PARTITION, std::to_string(minimumConfigMB_));
            view_.setText(IDC_NEW_SYSTEM_DISK, std::to_string(systemDiskMB_));
        } else {
            systemDiskMB_ = minimumConfigMB_ = 0;
            if (imageSizeMB_ > 0)
                view_.setText(IDC_NEW_SYSTEM_DISK, std::to_string(imageSizeMB_ + 10));
        }
    }
    if (hasSizeRecord_ && systemDiskMB_ < imageSizeMB_)
        messageBox(formatted(text::kImageLargerThanSystemDisk, static_cast<int>(imageSizeMB_),
                             static_cast<int>(systemDiskMB_)));
    const std::string loader = tempFolder_ + flash::kLoaderFileName;
    if (!flash::extractLoaderFile(path, loader)) return false;
    if (askReplace && bootReady_ &&
        sys.messageBox(text::kReplaceBoot, text::kMessageCaption, os::MessageButtons::OkCancel,
                       os::MessageIcon::Information) != os::MessageAnswer::Ok)
        return true;
    return unpackBootFile(loader);
}

void EngineeringTool::chooseImage(const std::string& path) { loadImage(path, true); }

void EngineeringTool::chooseDemoFolder(const std::string& path) {
    view_.setText(IDC_DEMO_PATH, path);
    onText(IDC_DEMO_PATH, path);
}

void EngineeringTool::chooseSdramFile(const std::string& path) {
    view_.setText(IDC_SDRAM_PATH, path);
}

void EngineeringTool::setRunControls(bool enabled) {
    bool serial;
    {
        std::lock_guard lock(controlsMutex_);
        serial = controls_->serial;
    }
    for (int control : kRunControls)
        view_.setEnabled(control, enabled && (control != IDC_SERIAL_TEXT || serial));
}

bool EngineeringTool::upgradeChecks() {
    Controls c;
    {
        std::lock_guard lock(controlsMutex_);
        c = *controls_;
    }
    autoMode_ = c.autoUpgrade;
    if (!bootReady_) return messageBox(text::kNoBootFile), false;
    if (imagePath_.empty()) return messageBox(text::kNoImageFile), false;
    const auto size = os::current().fileSize(imagePath_);
    if (!size) return messageBox(text::kImageSizeUnknown), false;
    imageSizeMB_ = *size >= 32 ? static_cast<std::uint32_t>((*size - 32) / 1048576) : 0;
    if (c.demo && c.autoUpgrade) return messageBox(text::kDemoWithAuto), false;
    if (c.autoUpgrade && std::atoi(c.repeatCount.c_str()) <= 0)
        return messageBox(text::kBadRepeatCount), false;
    if (found_.count == 0) return messageBox(text::kNoDevice), false;
    if (found_.count > 1) return messageBox(text::kSeveralDevices), false;
    if (found_.device.type == Msc) return messageBox(text::kDiskCannotUpgrade), false;
    if (stage() != Stage::Idle || remaining_ > 0) return messageBox(text::kStillRunning), false;

    const apps::PartitionResult partition = apps::CheckPartition(c.partition, minimumConfigMB_, [] {
        return os::current().messageBox(text::kUseMinimum, text::kMessageCaption,
                                        os::MessageButtons::OkCancel,
                                        os::MessageIcon::Information) == os::MessageAnswer::Ok;
    });
    if (partition.verdict == apps::PartitionVerdict::Invalid)
        return messageBox(text::kBadPartition), false;
    if (partition.verdict == apps::PartitionVerdict::Cancelled) return false;
    partition_ = partition.text;
    if (partition_ != c.partition) {
        view_.setText(IDC_PARTITION, partition_);
        onText(IDC_PARTITION, partition_);
    }
    demo_ = c.demo;
    demoFolder_ = c.demo ? c.demoPath : std::string();
    return true;
}

void EngineeringTool::onUpgrade() {
    {
        std::lock_guard lock(section_);
        if (!upgradeChecks()) return;
    }
    setRunControls(false);
    if (autoMode_) {
        int passes;
        {
            std::lock_guard lock(controlsMutex_);
            passes = std::atoi(controls_->repeatCount.c_str());
        }
        remaining_ = passes;
        log_.line(kLevelProgress, text::kAutoStart, passes);
    } else {
        remaining_ = 1;
    }
}

void EngineeringTool::onPassEnd(bool failed) {
    const int before = remaining_.load();
    remaining_ = before > 0 ? before - 1 : 0;
    if (failed || !autoMode_ || before <= 1) setRunControls(true);
    if (!failed) {
        if (autoMode_ && remaining_ > 0) {
        } else if (autoMode_) {
            autoMode_ = false;
            log_.line(kLevelProgress, "%s", text::kAutoOk);
        } else {
            log_.line(kLevelProgress, "%s", text::kUpgradeOk);
        }
    } else if (autoMode_) {
        autoMode_ = false;
        remaining_ = 0;
        log_.line(kLevelProgress, "%s", text::kAutoEnded);
    } else {
        log_.line(kLevelProgress, "%s", text::kUpgradeEnded);
    }
    stage_ = static_cast<int>(Stage::Idle);
}

void EngineeringTool::onClearLog() { view_.clearLog(); }

bool EngineeringTool::requestExit() {
    if (++exitRequests_ > 1) return false;
    os::Os& sys = os::current();
    for (const std::string* piece :
         {&pieces_.data, &pieces_.prog, &pieces_.prog2nd, &pieces_.flashBoot})
        if (!piece->empty()) sys.deleteFile(*piece);
    sys.deleteFile(tempFolder_ + flash::kLoaderFileName);
    sys.deleteFile(tempFolder_ + "CVTestSdram.bin");
    quit_ = true;
    return true;
}

}  // namespace cv50::engineering
