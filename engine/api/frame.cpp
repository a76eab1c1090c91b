// Start, end and configuration of the library.
#include "engine/api/export_guard.h"
#include "engine/api/exports.h"
#include "engine/device/match_ids.h"

using cv50::api::Guarded;

extern "C" {

// The log lock is a static mutex that outlives every caller, so start and end have
// nothing left to create or destroy; they stay for hosts that call them.
void DllInitialize() {}

void DllDeInitialize() {}

void SetVidPid(unsigned short corvUsbVid, unsigned short corvUsbPid, unsigned short corvMscVid,
               unsigned short corvMscPid) {
    Guarded("SetVidPid", [&] {
        cv50::device::MatchIds& ids = cv50::device::matchIds();
        ids.corvUsbVid = corvUsbVid;
        ids.corvUsbPid = corvUsbPid;
        ids.corvMscVid = corvMscVid;
        ids.corvMscPid = corvMscPid;
    });
}

int SetLogPath(char* folder) {
    return Guarded("SetLogPath", 0, [&] { return cv50::log::setFolder(folder) ? 1 : 0; });
}

}  // extern "C"
