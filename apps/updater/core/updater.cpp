// The updater's start, its image check and chooser, the end of a command and the exit.
#include "apps/updater/core/updater.h"

#include "apps/common/language_files.h"
#include "apps/updater/core/control_ids.h"
#include "apps/updater/core/version_text.h"
#include "base/unicode.h"
#include "engine/api/cv_exports.h"
#include "engine/api/exports.h"

namespace cv50::updater {
namespace {

// The narrow buffers of the calls into CV50DLL hold this many bytes, NUL included.
constexpr std::size_t kNarrowBufferSize = 260;

}  // namespace

Updater::Updater(View& view, std::u16string programFolder)
    : view_(view), programFolder_(std::move(programFolder)) {}

Updater::~Updater() { shutdown(); }

std::optional<std::string> Updater::narrow(const std::u16string& text) {
    std::optional<std::string> out = os::current().narrowFromWide(text);
    if (out && out->size() >= kNarrowBufferSize) return std::nullopt;
    return out;
}

bool Updater::fileExists(const std::u16string& path) {
    os::UniqueFile f(os::current().openFileW(path, "rb"));
    return f != nullptr;
}

void Updater::message(const std::u16string& text, const std::u16string& caption,
                      os::MessageIcon icon) {
    os::current().messageBox(base::utf8FromUtf16(text), base::utf8FromUtf16(caption),
                             os::MessageButtons::Ok, icon);
}

void Updater::stepLine(const std::u16string& text) { view_.setText(IDC_STEP_LINE, text); }

bool Updater::loadSettings() {
    os::Os& sys = os::current();
    const std::optional<Settings> loaded = LoadSettings(settingsFile(programFolder_));
    if (!loaded) {
        sys.messageBox(text::kSettingsUnopenable, text::kSettingsCaption, os::MessageButtons::Ok,
                       os::MessageIcon::Error);
        return false;
    }
    settings_ = *loaded;
    if (settings_.printLog) {
        DllInitialize();
        if (std::optional<std::string> folder = narrow(programFolder_ + text::kLogFolder)) {
            (void)sys.createFolder(*folder);
            (void)SetLogPath(folder->data());
        }
    }
    const std::vector<apps::LanguageW> languages =
        apps::listLanguages(programFolder_ + text::kLanguageFolder);
    if (const apps::LanguageW* chosen = apps::chooseLanguage(languages, settings_.language))
        texts_ = Texts(chosen->path);
    firmware_ = settings_.firmware;
    if (!firmware_.empty() && !fileExists(firmware_)) {
        message(texts_.format(52, {firmware_}), settings_.appTitle, os::MessageIcon::Warning);
        firmware_.clear();
    }
    return true;
}

void Updater::initialise() {
    view_.setEnabled(IDC_UPGRADE, false);
    view_.setEnabled(IDC_REPAIR, false);
    tempFolder_ = os::current().tempFolderW();
    if (tempFolder_.empty() || tempFolder_.back() != u'\\') tempFolder_ += u'\\';
    held_ = DEVICE_INFO{};
    SetVidPid(settings_.corvUsbVid, settings_.corvUsbPid, settings_.corvMscVid,
              settings_.corvMscPid);
    view_.startTimer(IDT_START, 0);
}

std::u16string Updater::splashText() const {
    return apps::formatChecked(text::kSplashVersion, {std::u16string(text::kVersionSuffix)});
}

std::u16string Updater::imageFilter() const {
    const std::u16string& ext = settings_.imageExtension;
    return u"CV50 Firmware(*." + ext + u")|*." + ext + u"|All Files(*.*)|*.*||";
}

void Updater::onTimer(int timer) {
    if (timer == IDT_ELAPSED) {
        const std::uint64_t seconds = (os::current().tickMs() - startTick_) / 1000;
        view_.setText(IDC_ELAPSED,
                      apps::formatChecked(text::kElapsed, {static_cast<int>(seconds / 60),
                                                           static_cast<int>(seconds % 60)}));
        return;
    }
    if (timer != IDT_START) return;
    view_.stopTimer(IDT_START);
    // One start-up check and one monitor, however often the timer fires, also while the
    // check's own boxes are open.
    if (started_) return;
    started_ = true;
    view_.setText(IDC_STATUS_LINE, texts_.get(40));
    if (!firmware_.empty() && !checkImage(firmware_)) firmware_.clear();
    view_.setText(IDC_FIRMWARE_PATH, firmware_);
    view_.setText(IDC_STATUS_LINE, texts_.get(41));
    monitor_ = std::thread([this] { monitorLoop(); });
}

void Updater::showImageFailure(int key) {
    message(texts_.get(key), settings_.appTitle, os::MessageIcon::Error);
}

bool Updater::checkImage(const std::u16string& path) {
    loaderPath_.clear();
    loaderNarrow_.clear();
    // Nothing of a refused image stays on screen.
    const auto refuse = [&](int key) {
        view_.setText(IDC_IMAGE_SOFTWARE, text::kNotAvailable);
        view_.setText(IDC_IMAGE_LOADER, text::kNotAvailable);
        showImageFailure(key);
        return false;
    };
    std::optional<std::string> image = narrow(path);
    if (!image) return refuse(103);
    unsigned short major = 0, minor = 0;
    if (!CV_GetLoaderVersion(image->data(), major, minor)) return refuse(104);
    view_.setText(IDC_IMAGE_LOADER, loaderVersionText(major, minor));
    unsigned short high = 0, low = 0;
    view_.setText(IDC_IMAGE_SOFTWARE, CV_GetSystemVersion(image->data(), high, low)
                                          ? softwareVersionText(high, low)
                                          : std::u16string(text::kNotAvailable));
    unsigned int systemMB = 0, configMB = 0;
    const int sizes = CV_GetDiskSize(image->data(), systemMB, configMB);
    if (sizes == -2) {
        systemMB = configMB = 0;
        hasSizeRecord_ = false;
    } else if (sizes == 0) {
        hasSizeRecord_ = true;
    } else {
        return refuse(105);
    }
    imageSystemMB_ = systemMB;
    imageConfigMB_ = configMB;
    unsigned int sizeMB = 0;
    if (!CV_GetImageSize(image->data(), sizeMB)) return refuse(106);
    imageSizeMB_ = sizeMB;
    const std::u16string loader = tempFolder_ + text::kLoaderFile;
    std::optional<std::string> loaderNarrow = narrow(loader);
    if (!loaderNarrow) return refuse(107);
    os::current().deleteFile(*loaderNarrow);
    if (!ExtractLoaderFile(image->data(), loaderNarrow->data())) return refuse(108);
    loaderPath_ = loader;
    loaderNarrow_ = *loaderNarrow;
    return true;
}

void Updater::chooseImage(const std::u16string& path) {
    if (checkImage(path)) {
        firmware_ = path;
    } else {
        firmware_.clear();
    }
    // The edit names the image a command would write, or none.
    view_.setText(IDC_FIRMWARE_PATH, firmware_);
}

void Updater::onResult(int mode, int code) {
    const Command finished = mode == 1 ? Command::Repair : Command::Upgrade;
    view_.stopTimer(IDT_ELAPSED);
    const std::u16string suffix = texts_.get(93);
    const std::u16string caption = texts_.get(finished == Command::Repair ? 54 : 53);
    view_.stopBusy();
    const ResultMessage shown = resultMessage(finished, code);
    const std::u16string text = texts_.get(shown.key) + (shown.suffix ? suffix : u"");
    if (code == result::kOk)
        message(text, settings_.appTitle, os::MessageIcon::Information);
    else
        message(text, caption, os::MessageIcon::Error);
    for (int control : {IDC_DEVICE_NAME, IDC_STATUS_LINE, IDC_STEP_LINE, IDC_PLAYER_SOFTWARE,
                        IDC_PLAYER_LOADER, IDC_ELAPSED})
        view_.setText(control, u"");
    view_.setEnabled(IDC_CHOOSE_IMAGE, true);
    view_.resetBusy();
    if (worker_.joinable()) worker_.join();
    {
        std::lock_guard pass(passMutex_);
        held_ = DEVICE_INFO{};
        versionsShown_ = false;
        several_ = false;
    }
    upgradeRunning_ = false;
    repairRunning_ = false;
    busy_ = false;
}

bool Updater::confirmExit() {
    const int key = commandRunning() ? 49 : 50;
    const os::MessageAnswer answer = os::current().messageBox(
        base::utf8FromUtf16(texts_.get(key)), base::utf8FromUtf16(settings_.appTitle),
        os::MessageButtons::YesNo, os::MessageIcon::Warning);
    return answer != os::MessageAnswer::No;
}

void Updater::shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    quit_ = true;
    if (monitor_.joinable()) monitor_.join();
    // The worker still owns the player and the loader file; the program ends after it.
    if (worker_.joinable()) worker_.join();
    if (!loaderNarrow_.empty()) os::current().deleteFile(loaderNarrow_);
    if (settings_.printLog) DllDeInitialize();
}

}  // namespace cv50::updater
