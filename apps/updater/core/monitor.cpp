// The updater's device monitor: a pass every 200 ms that finds the attached players, holds
// the one player it works on and shows its kind and versions. It does nothing while a command
// is prepared or runs.
#include <cstring>

#include "apps/updater/core/control_ids.h"
#include "apps/updater/core/updater.h"
#include "apps/updater/core/version_text.h"
#include "engine/api/cv_exports.h"

namespace cv50::updater {

void Updater::monitorLoop() {
    while (!quit_) {
        monitorPass();
        os::current().sleepMs(kMonitorPollMs);
    }
}

void Updater::clearDevice() {
    view_.setText(IDC_DEVICE_NAME, u"");
    view_.setEnabled(IDC_UPGRADE, false);
    view_.setEnabled(IDC_REPAIR, false);
    view_.setText(IDC_PLAYER_SOFTWARE, u"");
    view_.setText(IDC_PLAYER_LOADER, u"");
}

void Updater::showPlayerVersions() {
    _CORV_VERSION version;
    std::memset(&version, 0xFF, sizeof version);
    if (!CV_GetDeviceVersion(held_, &version)) return;
    view_.setText(IDC_PLAYER_SOFTWARE, softwareVersionText(version.systemHigh, version.systemLow));
    view_.setText(IDC_PLAYER_LOADER, loaderVersionText(version.loaderHigh, version.loaderLow));
    versionsShown_ = true;
}

void Updater::announce(const DEVICE_INFO& found) {
    held_ = found;
    versionsShown_ = false;
    const std::u16string name = held_.type == Msc      ? settings_.corvMscName
                                : held_.type == Loader ? settings_.corvUsbName
                                                       : std::u16string(text::kMaskRomName);
    view_.setText(IDC_DEVICE_NAME, name);
    view_.setText(IDC_STATUS_LINE, texts_.format(30, {name}));
    stepLine(texts_.get(31));
    for (int control : {IDC_CHOOSE_IMAGE, IDC_UPGRADE, IDC_REPAIR}) view_.setEnabled(control, true);
    view_.setText(IDC_PLAYER_SOFTWARE, text::kNotAvailable);
    view_.setText(IDC_PLAYER_LOADER, text::kNotAvailable);
    if (held_.type == Msc) showPlayerVersions();
    stepLine(u"");
}

void Updater::monitorPass() {
    std::lock_guard pass(passMutex_);
    if (busy_) return;
    DEVICE_INFO scratch{};
    const int n = CV_FindDevice(scratch, settings_.supportUsb11 ? 1 : 0);
    found_ = n;
    if (n >= 2) {
        versionsShown_ = false;
        several_ = true;
        view_.setText(IDC_STATUS_LINE, texts_.get(28));
        stepLine(texts_.get(29));
        clearDevice();
        return;
    }
    if (n == 1) {
        // Back to one player after several: it is announced afresh, even the held one.
        if (scratch.devInst != held_.devInst || several_) {
            several_ = false;
            announce(scratch);
        } else if (held_.type == Msc && !versionsShown_) {
            // A disk whose volume had not mounted when it was first seen.
            if (held_.driveLetter == 0) held_.driveLetter = scratch.driveLetter;
            showPlayerVersions();
        }
        return;
    }
    view_.setText(IDC_STATUS_LINE, texts_.get(38));
    if (held_.devInst != 0 || several_) {
        held_ = DEVICE_INFO{};
        stepLine(u"");
        clearDevice();
        versionsShown_ = false;
        several_ = false;
    }
}

}  // namespace cv50::updater
