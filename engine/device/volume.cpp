// Mass-storage volume lookup.
#include "engine/device/volume.h"

#include <algorithm>
#include <cctype>

#include "engine/device/log.h"

namespace cv50::device {
namespace {

std::string hashed(std::string id) {
    std::replace(id.begin(), id.end(), '\\', '#');
    return id;
}

// The device id of `node` with "\" turned into "#", or nothing (logged).
std::optional<std::string> hashedDeviceId(os::DevInst node, const char* failure) {
    const auto id = os::current().deviceInstanceId(node);
    if (!id) {
        Log(failure, node);
        return std::nullopt;
    }
    return hashed(*id);
}

// The letter of the volume whose device object the interface at `path` names; the two
// failure lines end with `lineEnd`, as each Windows version's lookup has always written them.
char letterOfVolumeObject(const std::string& path, const char* lineEnd) {
    const std::string name = GetDeviceProperty(path, os::DeviceProperty::PhysicalDeviceObjectName);
    if (name.empty()) {
        Log("Error:Get PDOName failed%s", lineEnd);
        return 0;
    }
    const char letter = QueryVolume(name);
    if (letter == 0) Log("Error:QeuryVolume not found the drive%s", lineEnd);
    return letter;
}

// Windows 2000 and XP: the volume node below the disk, by its device object name.
char driveOnXp(os::DevInst disk) {
    const os::DevInst volume = os::current().deviceTreeChild(disk);
    if (volume == 0) {
        Log("Error:GetDrive to get next instance failed,instance(%u)", disk);
        return 0;
    }
    const auto id = hashedDeviceId(volume, "Error:CM_Get_Device_ID failed,instance(%u)");
    if (!id) return 0;
    return letterOfVolumeObject("\\\\?\\" + *id + "#{53f5630a-b6bf-11d0-94f2-00a0c91efb8b}", "");
}

// Windows Vista: the storage volume interface named after the disk.
char driveOnVista(const std::string& diskId) {
    return letterOfVolumeObject(
        "\\\\?\\STORAGE#VOLUME#1&19F7E59C&0&_??_" + diskId +
            "#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}#{53f5630d-b6bf-11d0-94f2-00a0c91efb8b}",
        "\r\n");
}

// Windows 7 and later: the portable-device volume, whose friendly name starts with the letter.
char driveOnLater(const std::string& diskId) {
    std::string name = GetDeviceProperty("\\\\?\\WpdBusEnumRoot#UMB#2&37c186b&0&STORAGE#VOLUME#_??_" +
                                             diskId + "##{10497b1b-ba51-44e5-8318-a65c837b6661}",
                                         os::DeviceProperty::FriendlyName);
    if (name.empty()) {
        Log("Error:Get FriendlyName failed\r\n");
        return 0;
    }
    const char first = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    if (first < 'C' || first > 'Z') {
        Log("Error:not found the drive\r\n");
        return 0;
    }
    return first;
}

}  // namespace

std::string GetDeviceProperty(const std::string& interfacePath, os::DeviceProperty property) {
    const os::PropertyResult r = os::current().interfaceProperty(interfacePath, property);
    switch (r.failedAt) {
        case os::PropertyStep::Ok:
            return r.text.size() > 255 ? r.text.substr(0, 255) : r.text;
        case os::PropertyStep::CreateList:
            Log("Error:CreateDeviceInfoList failed");
            break;
        case os::PropertyStep::OpenInterface:
            Log("Error:OpenDeviceInterface failed");
            break;
        case os::PropertyStep::InterfaceDetail:
            Log("Error:GetDeviceInterfaceDetail failed");
            break;
        case os::PropertyStep::RegistryProperty:
            break;
    }
    return {};
}

char QueryVolume(const std::string& deviceObjectName) {
    if (deviceObjectName.empty()) return 0;
    os::Os& sys = os::current();
    const std::uint32_t drives = sys.logicalDrives();
    for (char letter = 'D'; letter <= 'Z'; ++letter) {
        if ((drives & (1u << (letter - 'A'))) == 0) continue;
        if (sys.driveType(letter) != os::kDriveRemovable) continue;
        const auto target = sys.dosDeviceTarget(letter);
        if (target && *target == deviceObjectName) return letter;
    }
    return 0;
}

char GetDrive(os::DevInst diskNode) {
    const os::WindowsVersion v = os::current().windowsVersion();
    if (v.major == 0) {
        Log("Error:GetVersionEx failed");
        return 0;
    }
    if (v.major <= 5) return driveOnXp(diskNode);
    const auto id = hashedDeviceId(diskNode, "Error:CM_Get_Device_ID failed,instance(%u)\r\n");
    if (!id) return 0;
    if (id->compare(0, 7, "USBSTOR") != 0) {
        Log("Error:Not include USBSTOR\r\n");
        return 0;
    }
    return v.major == 6 && v.minor == 0 ? driveOnVista(*id) : driveOnLater(*id);
}

int GetDemoDrive(DriveLookup& lookup) {
    lookup.driveLetter = 0;
    const os::DevInst disk = os::current().deviceTreeChild(lookup.devInst);
    if (disk == 0) {
        Log("Error:GetDemoDrive to get next instance failed,instance(%u)", lookup.devInst);
        return 0;
    }
    const char letter = GetDrive(disk);
    if (letter <= 0) return 0;
    lookup.driveLetter = letter;
    return 1;
}

}  // namespace cv50::device
