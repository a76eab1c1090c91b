#define WIN32_LEAN_AND_MEAN
#include "engine/os/win32/win32_drivers.h"

#include <windows.h>
// clang-format off
#include <setupapi.h>
// clang-format on

#include <algorithm>
#include <cstring>
#include <memory>

#include "engine/os/multi_string.h"

namespace cv50::os::win32 {
namespace {

constexpr DWORD kClassNameChars = 32;         // MAX_CLASS_NAME_LEN
constexpr DWORD kHardwareIdBytes = 64 * 1024;  // no sane property is larger
constexpr DWORD kInstallFlagForce = 0x1;       // INSTALLFLAG_FORCE

using UpdateDriverFn = BOOL(WINAPI*)(HWND, LPCSTR, LPCSTR, DWORD, PBOOL);

// A device information set and the one device created in it.
struct DeviceSet {
    HDEVINFO set = INVALID_HANDLE_VALUE;
    SP_DEVINFO_DATA device{};
    bool hasDevice = false;
};

DeviceSet* setOf(Handle h) { return reinterpret_cast<DeviceSet*>(static_cast<std::uintptr_t>(h)); }

GUID guidOf(const InfClass& c) {
    static_assert(sizeof(GUID) == sizeof c.guid);
    GUID g;
    std::memcpy(&g, c.guid.data(), sizeof g);
    return g;
}

// The hardware ids of one device; empty when it has none or they cannot be read.
std::vector<std::string> hardwareIdsOf(HDEVINFO set, SP_DEVINFO_DATA& info) {
    std::vector<char> buffer(1024);
    DWORD size = 0;
    while (!SetupDiGetDeviceRegistryPropertyA(set, &info, SPDRP_HARDWAREID, nullptr,
                                              reinterpret_cast<BYTE*>(buffer.data()),
                                              static_cast<DWORD>(buffer.size()), &size)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size <= buffer.size() ||
            size > kHardwareIdBytes)
            return {};
        buffer.resize(size);
    }
    return parseMultiString(std::span(buffer.data(), std::min<std::size_t>(size, buffer.size())));
}

}  // namespace

PresentDevices presentDevices() {
    PresentDevices out;
    HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return out;
    out.listed = true;
    for (DWORD i = 0;; ++i) {
        SP_DEVINFO_DATA info{};
        info.cbSize = sizeof info;
        if (!SetupDiEnumDeviceInfo(set, i, &info)) {
            out.endError = GetLastError();
            break;
        }
        out.hardwareIds.push_back(hardwareIdsOf(set, info));
    }
    SetupDiDestroyDeviceInfoList(set);
    return out;
}

std::optional<InfClass> infClass(const std::string& infPath) {
    GUID guid{};
    char name[kClassNameChars] = {};
    if (!SetupDiGetINFClassA(infPath.c_str(), &guid, name, kClassNameChars, nullptr))
        return std::nullopt;
    InfClass c;
    c.name.assign(name, strnlen(name, kClassNameChars));
    std::memcpy(c.guid.data(), &guid, sizeof guid);
    return c;
}

Handle createDeviceInfoList(const InfClass& deviceClass) {
    const GUID guid = guidOf(deviceClass);
    HDEVINFO set = SetupDiCreateDeviceInfoList(&guid, nullptr);
    if (set == INVALID_HANDLE_VALUE) return 0;
    auto owned = std::make_unique<DeviceSet>();
    owned->set = set;
    return static_cast<Handle>(reinterpret_cast<std::uintptr_t>(owned.release()));
}

bool createDeviceInfo(Handle h, const InfClass& deviceClass) {
    DeviceSet* s = setOf(h);
    if (s == nullptr || s->hasDevice) return false;
    const GUID guid = guidOf(deviceClass);
    s->device.cbSize = sizeof s->device;
    if (!SetupDiCreateDeviceInfoA(s->set, deviceClass.name.c_str(), &guid, nullptr, nullptr,
                                  DICD_GENERATE_ID, &s->device))
        return false;
    s->hasDevice = true;
    return true;
}

bool setHardwareIds(Handle h, const std::vector<std::string>& ids) {
    DeviceSet* s = setOf(h);
    if (s == nullptr || !s->hasDevice) return false;
    const std::string bytes = packMultiString(ids);
    return SetupDiSetDeviceRegistryPropertyA(s->set, &s->device, SPDRP_HARDWAREID,
                                             reinterpret_cast<const BYTE*>(bytes.data()),
                                             static_cast<DWORD>(bytes.size())) != FALSE;
}

bool callClassInstaller(Handle h, ClassInstallRequest request) {
    DeviceSet* s = setOf(h);
    if (s == nullptr || !s->hasDevice) return false;
    const DI_FUNCTION function =
        request == ClassInstallRequest::RegisterDevice ? DIF_REGISTERDEVICE : DIF_REMOVE;
    return SetupDiCallClassInstaller(function, s->set, &s->device) != FALSE;
}

void destroyDeviceInfoList(Handle h) {
    std::unique_ptr<DeviceSet> s(setOf(h));
    if (s) SetupDiDestroyDeviceInfoList(s->set);
}

bool updateDriverForPlugAndPlayDevices(const std::string& hardwareId, const std::string& infPath,
                                       bool& restart) {
    restart = false;
    const std::string folder = systemFolder();
    if (folder.empty()) return false;
    HMODULE library = LoadLibraryA((folder + "newdev.dll").c_str());
    if (library == nullptr) return false;
    auto update = reinterpret_cast<UpdateDriverFn>(
        reinterpret_cast<void*>(GetProcAddress(library, "UpdateDriverForPlugAndPlayDevicesA")));
    BOOL reboot = FALSE;
    const BOOL ok = update != nullptr && update(nullptr, hardwareId.c_str(), infPath.c_str(),
                                                kInstallFlagForce, &reboot);
    // The caller reads the install's error, not the unload's.
    const DWORD error = GetLastError();
    FreeLibrary(library);
    SetLastError(error);
    restart = ok && reboot;
    return ok != FALSE;
}

std::string systemFolder() {
    char buf[MAX_PATH + 1] = {};
    const UINT n = GetSystemDirectoryA(buf, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    std::string folder(buf, n);
    if (folder.back() != '\\') folder += '\\';
    return folder;
}

}  // namespace cv50::os::win32
