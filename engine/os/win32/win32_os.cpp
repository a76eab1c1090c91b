// The real Windows calls behind the os seam. Request buffers are packed and parsed
// by usb_requests.cpp; this file only adds the system calls around them.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// clang-format off
#include <setupapi.h>
#include <cfgmgr32.h>
#include <shellapi.h>
// clang-format on
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <vector>

#include "engine/os/usb_requests.h"
#include "engine/os/win32/win32_device_io.h"
#include "engine/os/win32/win32_drivers.h"
#include "engine/os/win32/win32_handle.h"
#include "engine/os/win32/win32_os.h"
#include "engine/os/win32/win32_profile.h"
#include "engine/os/win32/win32_user.h"
#include "engine/os/win32/win32_windows.h"

namespace cv50::os {
namespace {

namespace rq = usbreq;
using win32::fromWin;
using win32::toWin;

// GUID_DEVINTERFACE_USB_HOST_CONTROLLER
const GUID kHostControllerClass = {
    0x3abf6f2d, 0x71c4, 0x462a, {0x8a, 0x92, 0x1e, 0x68, 0x61, 0xe6, 0xaf, 0x27}};

std::string ansiFromUtf16(const std::u16string& text) {
    if (text.empty()) return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int n = WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, nullptr);
    if (n <= 0) return rq::asciiFromUtf16(text);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(text.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

// One buffered request whose input and output share `buf`; false when it fails.
bool ioctl(Handle h, DWORD code, rq::Bytes& buf, bool sendInput, DWORD* returned) {
    *returned = 0;
    return DeviceIoControl(toWin(h), code, sendInput ? buf.data() : nullptr,
                           sendInput ? static_cast<DWORD>(buf.size()) : 0, buf.data(),
                           static_cast<DWORD>(buf.size()), returned, nullptr) != FALSE;
}

// The two-step name requests: a header-sized buffer reports the length, then the name.
std::optional<std::string> connectionName(Handle hub, unsigned port, DWORD code) {
    rq::Bytes head = rq::connectionNameRequest(port);
    DWORD got = 0;
    if (!ioctl(hub, code, head, true, &got)) return std::nullopt;
    const auto length = rq::parseConnectionNameLength(head);
    if (!length || *length <= rq::kConnectionNameHeaderSize || *length > 64 * 1024)
        return std::nullopt;
    rq::Bytes full = rq::connectionNameRequest(port, *length);
    if (!ioctl(hub, code, full, true, &got)) return std::nullopt;
    const auto name = rq::parseConnectionName(full);
    if (!name) return std::nullopt;
    return ansiFromUtf16(*name);
}

class Win32Os final : public Os {
public:
    std::vector<std::string> hostControllerPaths() override {
        std::vector<std::string> paths;
        HDEVINFO set = SetupDiGetClassDevsA(&kHostControllerClass, nullptr, nullptr,
                                            DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
        if (set == INVALID_HANDLE_VALUE) return paths;
        for (DWORD i = 0;; ++i) {
            SP_DEVICE_INTERFACE_DATA data{};
            data.cbSize = sizeof data;
            if (!SetupDiEnumDeviceInterfaces(set, nullptr, &kHostControllerClass, i, &data)) break;
            DWORD need = 0;
            SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &need, nullptr);
            if (need < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) continue;
            std::vector<DWORD> storage((need + sizeof(DWORD) - 1) / sizeof(DWORD));
            auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage.data());
            detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
            if (SetupDiGetDeviceInterfaceDetailA(set, &data, detail, need, nullptr, nullptr))
                paths.emplace_back(detail->DevicePath);
        }
        SetupDiDestroyDeviceInfoList(set);
        return paths;
    }

    Handle openDevice(const std::string& path) override {
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return 0;
        return fromWin(h);
    }

    void closeHandle(Handle h) override { CloseHandle(toWin(h)); }

    std::optional<std::string> rootHubName(Handle controller) override {
        rq::Bytes head = rq::rootHubNameRequest();
        DWORD got = 0;
        if (!ioctl(controller, rq::kGetRootHubName, head, false, &got)) return std::nullopt;
        const auto length = rq::parseRootHubNameLength(head);
        if (!length || *length <= rq::kRootHubNameHeaderSize || *length > 64 * 1024)
            return std::nullopt;
        rq::Bytes full = rq::rootHubNameRequest(*length);
        if (!ioctl(controller, rq::kGetRootHubName, full, false, &got)) return std::nullopt;
        const auto name = rq::parseRootHubName(full);
        if (!name) return std::nullopt;
        return ansiFromUtf16(*name);
    }

    std::optional<unsigned> hubPortCount(Handle hub) override {
        rq::Bytes buf = rq::nodeInformationRequest();
        DWORD got = 0;
        if (!ioctl(hub, rq::kGetNodeInformation, buf, true, &got)) return std::nullopt;
        return rq::parseNodeInformationPorts(buf);
    }

    std::optional<ConnectionInfo> connectionInfo(Handle hub, unsigned port) override {
        rq::Bytes buf = rq::connectionInfoRequest(port);
        DWORD got = 0;
        if (!ioctl(hub, rq::kGetNodeConnectionInformation, buf, true, &got)) return std::nullopt;
        return rq::parseConnectionInfo(std::span<const std::uint8_t>(buf.data(), got));
    }

    std::optional<std::string> downstreamHubName(Handle hub, unsigned port) override {
        return connectionName(hub, port, rq::kGetNodeConnectionName);
    }

    std::optional<std::string> driverKeyName(Handle hub, unsigned port) override {
        return connectionName(hub, port, rq::kGetNodeConnectionDriverKeyName);
    }

    DevInst deviceTreeRoot() override {
        DEVINST node = 0;
        return CM_Locate_DevNodeA(&node, nullptr, CM_LOCATE_DEVNODE_NORMAL) == CR_SUCCESS ? node
                                                                                          : 0;
    }
    DevInst deviceTreeChild(DevInst n) override {
        DEVINST out = 0;
        return CM_Get_Child(&out, n, 0) == CR_SUCCESS ? out : 0;
    }
    DevInst deviceTreeSibling(DevInst n) override {
        DEVINST out = 0;
        return CM_Get_Sibling(&out, n, 0) == CR_SUCCESS ? out : 0;
    }
    DevInst deviceTreeParent(DevInst n) override {
        DEVINST out = 0;
        return CM_Get_Parent(&out, n, 0) == CR_SUCCESS ? out : 0;
    }

    std::optional<std::string> deviceDriverKey(DevInst n) override {
        char buf[512] = {};
        ULONG length = sizeof buf;
        if (CM_Get_DevNode_Registry_PropertyA(n, CM_DRP_DRIVER, nullptr, buf, &length, 0) !=
            CR_SUCCESS)
            return std::nullopt;
        buf[sizeof buf - 1] = '\0';
        return std::string(buf);
    }

    std::optional<std::string> deviceInstanceId(DevInst n) override {
        char buf[512] = {};
        if (CM_Get_Device_IDA(n, buf, sizeof buf - 1, 0) != CR_SUCCESS) return std::nullopt;
        return std::string(buf);
    }

    WindowsVersion windowsVersion() override {
        // GetVersionEx lies to programs without a manifest; ntdll tells the truth.
        using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
        OSVERSIONINFOW info{};
        info.dwOSVersionInfoSize = sizeof info;
        if (HMODULE ntdll = GetModuleHandleA("ntdll.dll")) {
            auto fn = reinterpret_cast<RtlGetVersionFn>(
                reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
            if (fn && fn(&info) == 0) return {info.dwMajorVersion, info.dwMinorVersion};
        }
        return {};
    }

    std::uint32_t logicalDrives() override { return GetLogicalDrives(); }

    unsigned driveType(char letter) override {
        const char root[] = {letter, ':', '\\', '\0'};
        return GetDriveTypeA(root);
    }

    std::optional<std::string> dosDeviceTarget(char letter) override {
        const char name[] = {letter, ':', '\0'};
        char target[1024] = {};
        if (QueryDosDeviceA(name, target, sizeof target) == 0) return std::nullopt;
        return std::string(target);  // the first of the NUL-separated targets
    }

    PropertyResult interfaceProperty(const std::string& interfacePath,
                                     DeviceProperty property) override {
        PropertyResult result;
        HDEVINFO set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
        if (set == INVALID_HANDLE_VALUE) {
            result.failedAt = PropertyStep::CreateList;
            return result;
        }
        SP_DEVICE_INTERFACE_DATA iface{};
        iface.cbSize = sizeof iface;
        SP_DEVINFO_DATA info{};
        info.cbSize = sizeof info;
        if (!SetupDiOpenDeviceInterfaceA(set, interfacePath.c_str(), 0, &iface)) {
            result.failedAt = PropertyStep::OpenInterface;
        } else if (!SetupDiGetDeviceInterfaceDetailA(set, &iface, nullptr, 0, nullptr, &info) &&
                   GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            result.failedAt = PropertyStep::InterfaceDetail;
        } else {
            char buf[256] = {};
            const DWORD which = property == DeviceProperty::FriendlyName
                                    ? SPDRP_FRIENDLYNAME
                                    : SPDRP_PHYSICAL_DEVICE_OBJECT_NAME;
            if (!SetupDiGetDeviceRegistryPropertyA(set, &info, which, nullptr,
                                                   reinterpret_cast<BYTE*>(buf), sizeof buf - 1,
                                                   nullptr))
                result.failedAt = PropertyStep::RegistryProperty;
            else
                result.text = buf;
        }
        SetupDiDestroyDeviceInfoList(set);
        return result;
    }

    bool pathExists(const std::string& path) override {
        return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    std::FILE* openExclusiveReadWrite(const std::string& path) override {
        HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return nullptr;
        const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDWR | _O_BINARY);
        if (fd < 0) {
            CloseHandle(h);
            return nullptr;
        }
        std::FILE* f = _fdopen(fd, "r+b");
        if (!f) _close(fd);
        return f;
    }

    std::FILE* openFile(const std::string& path, const char* mode) override {
        if (path.empty() || mode == nullptr) return nullptr;
        return std::fopen(path.c_str(), mode);
    }

    bool deleteFile(const std::string& path) override {
        return !path.empty() && DeleteFileA(path.c_str()) != FALSE;
    }

    std::optional<std::uint64_t> fileSize(const std::string& path) override {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (path.empty() || !GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
            (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            return std::nullopt;
        return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }

    bool createFolder(const std::string& path) override {
        return CreateDirectoryA(path.c_str(), nullptr) != FALSE ||
               GetLastError() == ERROR_ALREADY_EXISTS;
    }

    PathKind pathKind(const std::string& path) override {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (path.empty() || attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::Folder : PathKind::File;
    }

    std::string profileString(const std::string& path, const std::string& section,
                              const std::string& key, const std::string& fallback,
                              std::size_t size) override {
        return win32::profileString(path, section, key, fallback, size);
    }
    std::u16string profileStringW(const std::u16string& path, const std::u16string& section,
                                  const std::u16string& key, const std::u16string& fallback,
                                  std::size_t size) override {
        return win32::profileStringW(path, section, key, fallback, size);
    }
    int profileInt(const std::string& path, const std::string& section, const std::string& key,
                   int fallback) override {
        return win32::profileInt(path, section, key, fallback);
    }
    int profileIntW(const std::u16string& path, const std::u16string& section,
                    const std::u16string& key, int fallback) override {
        return win32::profileIntW(path, section, key, fallback);
    }
    std::vector<FoundFile> findFiles(const std::string& pattern) override {
        return win32::findFiles(pattern);
    }
    std::vector<FoundFileW> findFilesW(const std::u16string& pattern) override {
        return win32::findFilesW(pattern);
    }
    std::FILE* openFileW(const std::u16string& path, const char* mode) override {
        return win32::openFileW(path, mode);
    }

    int shellCopy(const std::string& sourcePattern, const std::string& destination,
                  bool& aborted) override {
        // Both lists end with two NULs.
        std::string from = sourcePattern;
        from.append(2, '\0');
        std::string to = destination;
        to.append(2, '\0');
        SHFILEOPSTRUCTA op{};
        op.wFunc = FO_COPY;
        op.pFrom = from.c_str();
        op.pTo = to.c_str();
        op.fFlags = FOF_NOCONFIRMATION;
        const int result = SHFileOperationA(&op);
        aborted = op.fAnyOperationsAborted != FALSE;
        return result;
    }

    bool copyFile(const std::string& source, const std::string& destination) override {
        return CopyFileA(source.c_str(), destination.c_str(), FALSE) != FALSE;
    }

    Handle openReadWrite(const std::string& path) override {
        return win32::openForBoundedIo(path);
    }

    long long writeHandle(Handle h, const void* data, std::size_t size,
                          std::uint32_t timeoutMs) override {
        return win32::boundedWrite(h, data, size, timeoutMs);
    }

    long long readHandle(Handle h, void* data, std::size_t size, std::uint32_t timeoutMs) override {
        return win32::boundedRead(h, data, size, timeoutMs);
    }

    bool deviceIoControl(Handle h, std::uint32_t code, const void* in, std::size_t inSize,
                         void* out, std::size_t outSize, std::uint32_t* returned,
                         std::uint32_t timeoutMs) override {
        return win32::boundedIoControl(h, code, in, inSize, out, outSize, returned, timeoutMs);
    }

    bool requestEject(DevInst node) override {
        PNP_VETO_TYPE veto = PNP_VetoTypeUnknown;
        wchar_t vetoName[260] = {};
        const CONFIGRET r = CM_Request_Device_EjectW(node, &veto, vetoName, 260, 0);
        return r == CR_SUCCESS && veto == PNP_VetoTypeUnknown;
    }

    PresentDevices presentDevices() override { return win32::presentDevices(); }
    std::optional<InfClass> infClass(const std::string& infPath) override {
        return win32::infClass(infPath);
    }
    Handle createDeviceInfoList(const InfClass& deviceClass) override {
        return win32::createDeviceInfoList(deviceClass);
    }
    bool createDeviceInfo(Handle set, const InfClass& deviceClass) override {
        return win32::createDeviceInfo(set, deviceClass);
    }
    bool setHardwareIds(Handle set, const std::vector<std::string>& ids) override {
        return win32::setHardwareIds(set, ids);
    }
    bool callClassInstaller(Handle set, ClassInstallRequest request) override {
        return win32::callClassInstaller(set, request);
    }
    void destroyDeviceInfoList(Handle set) override { win32::destroyDeviceInfoList(set); }
    bool updateDriverForPlugAndPlayDevices(const std::string& hardwareId,
                                           const std::string& infPath, bool& restart) override {
        return win32::updateDriverForPlugAndPlayDevices(hardwareId, infPath, restart);
    }

    std::optional<std::vector<Window>> topLevelWindows() override {
        return win32::topLevelWindows();
    }
    std::vector<Window> childWindows(Window parent) override {
        return win32::childWindows(parent);
    }
    std::string windowText(Window window) override { return win32::windowText(window); }
    void closeWindow(Window window) override { win32::closeWindow(window); }
    void clickButton(Window window) override { win32::clickButton(window); }

    Handle loadLibrary(const std::string& name) override {
        return static_cast<Handle>(reinterpret_cast<std::uintptr_t>(LoadLibraryA(name.c_str())));
    }

    void* libraryFunction(Handle library, const std::string& name) override {
        return reinterpret_cast<void*>(
            GetProcAddress(reinterpret_cast<HMODULE>(toWin(library)), name.c_str()));
    }

    void freeLibrary(Handle library) override {
        FreeLibrary(reinterpret_cast<HMODULE>(toWin(library)));
    }

    std::optional<std::string> resourceString(Handle library, unsigned id) override {
        return win32::resourceString(library, id);
    }

    std::string tempFolder() override {
        char buf[MAX_PATH + 1] = {};
        const DWORD n = GetTempPathA(sizeof buf, buf);
        return n > 0 && n < sizeof buf ? std::string(buf, n) : std::string();
    }

    std::u16string tempFolderW() override {
        wchar_t buf[MAX_PATH + 1] = {};
        const DWORD n = GetTempPathW(MAX_PATH + 1, buf);
        if (n == 0 || n > MAX_PATH) return {};
        return std::u16string(reinterpret_cast<const char16_t*>(buf), n);
    }

    std::optional<std::string> narrowFromWide(const std::u16string& text) override {
        if (text.empty()) return std::string();
        const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
        const int units = static_cast<int>(text.size());
        // A UTF-8 code page refuses the stand-in question; it refuses invalid input instead.
        const bool utf8 = GetACP() == CP_UTF8;
        const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
        BOOL stoodIn = FALSE;
        BOOL* ask = utf8 ? nullptr : &stoodIn;
        const int n = WideCharToMultiByte(CP_ACP, flags, wide, units, nullptr, 0, nullptr, ask);
        if (n <= 0 || stoodIn) return std::nullopt;
        std::string out(static_cast<std::size_t>(n), '\0');
        if (WideCharToMultiByte(CP_ACP, flags, wide, units, out.data(), n, nullptr, ask) != n ||
            stoodIn)
            return std::nullopt;
        return out;
    }

    std::string programFolder() override {
        char buf[MAX_PATH + 1] = {};
        const DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
        std::string path(buf, n < sizeof buf ? n : 0);
        const auto slash = path.find_last_of("\\/");
        return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    }

    std::string systemFolder() override { return win32::systemFolder(); }

    LocalTime localTime() override {
        SYSTEMTIME st;
        GetLocalTime(&st);
        return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
    }

    std::uint32_t lastError() override { return GetLastError(); }

    MessageAnswer messageBox(const std::string& text, const std::string& caption,
                             MessageButtons buttons, MessageIcon icon) override {
        return win32::showMessageBox(text, caption, buttons, icon);
    }

    std::uint64_t tickMs() override { return GetTickCount64(); }

    void sleepMs(std::uint32_t ms) override { Sleep(ms); }
};

}  // namespace

std::unique_ptr<Os> makeWin32Os() { return std::make_unique<Win32Os>(); }

}  // namespace cv50::os
