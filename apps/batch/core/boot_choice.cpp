// The boot file and the image of the production tool: the boot unpacked into its four
// parts, the boot taken out of an image, and the image's trailer with its disk sizes.
#include "apps/batch/core/batch_tool.h"
#include "apps/batch/core/control_ids.h"
#include "apps/batch/core/texts.h"
#include "apps/common/boot_texts.h"
#include "engine/flash/image_check.h"
#include "engine/os/os.h"

namespace cv50::batch {
namespace {

constexpr flash::ExtractTexts kExtractTexts{text::kLoadLibraryFailed, text::kFunctionMissing,
                                            text::kLoaderPathFailed, text::kWriteToPcFailed};

void bootBox(const char* message) {
    os::current().messageBox(message, text::kBootCaption, os::MessageButtons::Ok,
                             os::MessageIcon::Error);
}

}  // namespace

std::string BatchTool::tempBootFile() const { return tempFolder_ + flash::kLoaderFileName; }

void BatchTool::clearBootFields() {
    bootPath_.clear();
    bootVersion_.clear();
    bootDate_.clear();
    for (int control : {IDC_BOOT_PATH, IDC_BOOT_VERSION, IDC_BOOT_DATE}) view_.setText(control, "");
}

bool BatchTool::unpackBootFile(const std::string& path) {
    flash::BootHead head;
    if (!flash::readBootHead(path, head)) {
        bootBox(text::kBootBadHead);
        return false;
    }
    flash::PiecePaths parts;
    if (!flash::unpackBoot(path, parts, head)) {
        bootBox(text::kBootUnpackFailed);
        return false;
    }
    boot_ = parts;
    bootPath_ = path;
    bootVersion_ = apps::bootVersionText(head);
    bootDate_ = apps::bootDateText(head);
    view_.setText(IDC_BOOT_PATH, bootPath_);
    view_.setText(IDC_BOOT_VERSION, bootVersion_);
    view_.setText(IDC_BOOT_DATE, bootDate_);
    return true;
}

void BatchTool::chooseBootFile(const std::string& path) {
    if (!unpackBootFile(path)) clearBootFields();
}

bool BatchTool::readTrailer(const std::string& path) {
    const auto size = os::current().fileSize(path);
    flash::TailBlock tail;
    if (!size || !flash::readTailBlock(path, tail)) return false;
    imageSizeMB_ = *size >= 32 ? static_cast<std::uint32_t>((*size - 32) / 1048576) : 0;
    trailerPresent_ = tail.hasTag();
    systemDiskMB_ = trailerPresent_ ? tail.fields().systemDiskMB : 0;
    minimumConfigMB_ = trailerPresent_ ? tail.fields().configDiskMB : 0;
    return true;
}

void BatchTool::warnImageTooLarge() {
    // Without a trailer the image names no system disk to be too small.
    if (!trailerPresent_ || systemDiskMB_ >= imageSizeMB_) return;
    messageBox(languageText(key::kImageTooLarge,
                            {static_cast<int>(imageSizeMB_), static_cast<int>(systemDiskMB_)}),
               false);
}

bool BatchTool::extractBoot(const std::string& imagePath) {
    return flash::extractLoaderFile(imagePath, tempBootFile(),
                                    programFolder_ + flash::kPackageLibrary, kExtractTexts);
}

void BatchTool::chooseImage(const std::string& path) {
    imagePath_ = path;
    view_.setText(IDC_IMAGE_PATH, path);
    if (readTrailer(path)) warnImageTooLarge();
    if (!extractBoot(path)) return;
    if (!bootPath_.empty() &&
        os::current().messageBox(languageText(key::kAskReplaceBoot), text::kMessageCaption,
                                 os::MessageButtons::OkCancel,
                                 os::MessageIcon::Information) != os::MessageAnswer::Ok)
        return;
    if (!unpackBootFile(tempBootFile())) clearBootFields();
}

}  // namespace cv50::batch
