// The operating-system seam: every primitive the engine needs from Windows.
// Two backends implement it: win32/ (the real calls) and the player simulator.
// Algorithms (walk order, naming, filters, retries, messages) live above it.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace cv50::os {

// An open device, hub or controller handle; 0 is never a valid handle.
using Handle = std::uint64_t;
// A device node in the device tree (configuration-manager DEVINST); 0 = none.
using DevInst = std::uint32_t;
// A window of the window system (HWND); 0 is never a window.
using Window = std::uint64_t;

// Wall-clock local time, as the log and file names need it.
struct LocalTime {
    int year = 0, month = 0, day = 0;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// Registry properties of a device read through its interface path.
enum class DeviceProperty { PhysicalDeviceObjectName, FriendlyName };

// Which step of an interface-property read failed, so the caller can say so.
enum class PropertyStep { Ok, CreateList, OpenInterface, InterfaceDetail, RegistryProperty };

struct PropertyResult {
    PropertyStep failedAt = PropertyStep::Ok;
    std::string text;  // the property, at most 255 characters; empty on failure
};

inline constexpr unsigned kDriveRemovable = 2;  // GetDriveTypeA's DRIVE_REMOVABLE
inline constexpr unsigned kDriveFixed = 3;      // DRIVE_FIXED

// What GetFileAttributesA finds at a path.
enum class PathKind { Missing, File, Folder };

// One entry of a folder search (FindFirstFile/FindNextFile).
struct FoundFile {
    std::string name;
    bool folder = false;
    friend bool operator==(const FoundFile&, const FoundFile&) = default;
};
struct FoundFileW {
    std::u16string name;
    bool folder = false;
    friend bool operator==(const FoundFileW&, const FoundFileW&) = default;
};

// A message box: its buttons, its icon, and the button that closed it.
enum class MessageButtons { Ok, OkCancel, YesNo };
enum class MessageIcon { None, Information, Warning, Error };
enum class MessageAnswer { Ok, Cancel, Yes, No };

struct WindowsVersion {
    unsigned major = 0, minor = 0;
};

// The parts of USB_NODE_CONNECTION_INFORMATION the port walk reads.
struct ConnectionInfo {
    std::uint16_t bcdUSB = 0;
    std::uint16_t idVendor = 0;
    std::uint16_t idProduct = 0;
    std::uint8_t currentConfigurationValue = 0;
    bool deviceIsHub = false;
    std::uint32_t connectionStatus = 0;  // 0 none, 1 connected, others are failures
};

// The present devices of every class (SetupDiGetClassDevs with the all-classes and present
// flags, then SetupDiEnumDeviceInfo until it fails).
struct PresentDevices {
    bool listed = false;  // false: the list could not be made
    // Each device's hardware ids (SPDRP_HARDWAREID), in enumeration order; empty for a
    // device without any.
    std::vector<std::vector<std::string>> hardwareIds;
    std::uint32_t endError = 0;  // why the enumeration stopped (error::kNoMoreItems at the end)
};

// The device setup class an INF file names (SetupDiGetINFClassA).
struct InfClass {
    std::string name;  // at most 31 characters
    std::array<std::uint8_t, 16> guid{};  // the class GUID as it lies in memory
};

// Requests to the class installer for a set's device (SetupDiCallClassInstaller).
enum class ClassInstallRequest { RegisterDevice, Remove };

class Os {
public:
    virtual ~Os() = default;

    // --- USB host controllers and hubs ---
    // Present device-interface paths of class GUID_DEVINTERFACE_USB_HOST_CONTROLLER, in
    // enumeration order; empty when the class cannot be listed.
    virtual std::vector<std::string> hostControllerPaths() = 0;
    // Opens a controller, hub or device ("\\.\HCD0", "\\.\<hub name>", an interface path)
    // for generic write, share write, open existing. Returns 0 on failure.
    virtual Handle openDevice(const std::string& path) = 0;
    virtual void closeHandle(Handle h) = 0;
    // Root hub name of an open host controller (ANSI), or nothing.
    virtual std::optional<std::string> rootHubName(Handle controller) = 0;
    // bNumberOfPorts of an open hub's descriptor, or nothing when the request fails.
    virtual std::optional<unsigned> hubPortCount(Handle hub) = 0;
    // Connection information of port `port` (1-based) of an open hub, or nothing.
    virtual std::optional<ConnectionInfo> connectionInfo(Handle hub, unsigned port) = 0;
    // Name of the hub attached to `port`, or nothing.
    virtual std::optional<std::string> downstreamHubName(Handle hub, unsigned port) = 0;
    // Driver key name of the device attached to `port`, or nothing.
    virtual std::optional<std::string> driverKeyName(Handle hub, unsigned port) = 0;

    // --- Device tree ---
    // Each returns 0 when there is no such node.
    virtual DevInst deviceTreeRoot() = 0;
    virtual DevInst deviceTreeChild(DevInst node) = 0;
    virtual DevInst deviceTreeSibling(DevInst node) = 0;
    virtual DevInst deviceTreeParent(DevInst node) = 0;
    // The node's CM_DRP_DRIVER property, or nothing.
    virtual std::optional<std::string> deviceDriverKey(DevInst node) = 0;
    // The node's device instance id, or nothing.
    virtual std::optional<std::string> deviceInstanceId(DevInst node) = 0;

    // --- System ---
    // The running Windows version; {0, 0} when it cannot be read.
    virtual WindowsVersion windowsVersion() = 0;

    // --- Volumes ---
    // Bit n set = drive letter 'A' + n exists.
    virtual std::uint32_t logicalDrives() = 0;
    // GetDriveTypeA of drive `letter`.
    virtual unsigned driveType(char letter) = 0;
    // The first target of the DOS device name "X:" of drive `letter`, or nothing.
    virtual std::optional<std::string> dosDeviceTarget(char letter) = 0;
    // A registry property of the device behind a device-interface path.
    virtual PropertyResult interfaceProperty(const std::string& interfacePath,
                                             DeviceProperty property) = 0;

    // --- Files ---
    // Engine paths use "\" as separator; backends map them to their file system.
    virtual bool pathExists(const std::string& path) = 0;
    // Opens a file for reading and writing without sharing, creating it when missing;
    // positioned at the start. Returns nullptr on failure; the caller closes it.
    virtual std::FILE* openExclusiveReadWrite(const std::string& path) = 0;
    // std::fopen with `mode` ("rb", "wb", ...). Returns nullptr on failure; the caller
    // closes it (UniqueFile).
    virtual std::FILE* openFile(const std::string& path, const char* mode) = 0;
    // Removes a file. False when it could not be removed (missing, in use, a folder).
    virtual bool deleteFile(const std::string& path) = 0;
    // The size of a file in bytes, or nothing when it cannot be asked.
    virtual std::optional<std::uint64_t> fileSize(const std::string& path) = 0;
    // GetFileAttributesA: a file, a folder, or nothing. A drive root ("E:", "E:\") of a
    // mounted volume is a folder.
    virtual PathKind pathKind(const std::string& path) = 0;
    // CreateDirectoryA: true when the folder was made or is there already.
    virtual bool createFolder(const std::string& path) = 0;

    // --- Profile (INI) files and folder search; wide texts and paths are UTF-16 ---
    // GetPrivateProfileStringA: the value of `key` in `section` of the file `path`, else
    // `fallback`, cut to `size` - 1 bytes; in UTF-8 from a file with a byte-order mark, else
    // in the ANSI code page (UTF-8 in the simulator).
    virtual std::string profileString(const std::string& path, const std::string& section,
                                      const std::string& key, const std::string& fallback,
                                      std::size_t size) = 0;
    // GetPrivateProfileStringW: the same, cut to `size` - 1 UTF-16 units.
    virtual std::u16string profileStringW(const std::u16string& path, const std::u16string& section,
                                          const std::u16string& key, const std::u16string& fallback,
                                          std::size_t size) = 0;
    // GetPrivateProfileIntA: the number the value starts with, `fallback` when it is
    // missing or empty; the UINT result read as an int.
    virtual int profileInt(const std::string& path, const std::string& section,
                           const std::string& key, int fallback) = 0;
    // GetPrivateProfileIntW: the same.
    virtual int profileIntW(const std::u16string& path, const std::u16string& section,
                            const std::u16string& key, int fallback) = 0;
    // FindFirstFileA/FindNextFileA over `pattern` ("C:\Language\*.ini"): every match in the
    // order the file system returns them; empty when nothing matches or the folder is missing.
    virtual std::vector<FoundFile> findFiles(const std::string& pattern) = 0;
    // FindFirstFileW/FindNextFileW: the same.
    virtual std::vector<FoundFileW> findFilesW(const std::u16string& pattern) = 0;
    // _wfopen with `mode` ("ab", ...). Returns nullptr on failure; the caller closes it.
    virtual std::FILE* openFileW(const std::u16string& path, const char* mode) = 0;

    // --- Shell copy ---
    // SHFileOperationA with FO_COPY and FOF_NOCONFIRMATION only: copies what `sourcePattern`
    // ("C:\Demo\*.*", subfolders with their content) names into `destination` ("E:").
    // Returns the operation's result (0 = done); `aborted` tells whether anything was
    // aborted.
    virtual int shellCopy(const std::string& sourcePattern, const std::string& destination,
                          bool& aborted) = 0;
    // CopyFileA(source, destination, overwrite allowed); true when it was copied.
    virtual bool copyFile(const std::string& source, const std::string& destination) = 0;

    // --- Device I/O: the CorvUsb pipes "<device path>\PIPE00" (write) and "\PIPE01" (read) ---
    // Opens a device or pipe for reading and writing (for requests with a time bound).
    // Returns 0 on failure.
    virtual Handle openReadWrite(const std::string& path) = 0;
    // Bytes transferred, or -1 when the transfer fails (device gone, pipe error) or has not
    // ended within `timeoutMs`: the request is then cancelled and the last error is
    // error::kSemTimeout. A device that stays on the bus but stops answering costs the bound,
    // never a hang.
    virtual long long writeHandle(Handle h, const void* data, std::size_t size,
                                  std::uint32_t timeoutMs) = 0;
    virtual long long readHandle(Handle h, void* data, std::size_t size,
                                 std::uint32_t timeoutMs) = 0;

    // A buffered I/O control request on an open handle (a volume's SCSI pass-through,
    // the download requests of a mask-ROM device). False when the request fails or has not
    // ended within `timeoutMs` (cancelled, as above); `returned` gets the byte count the
    // driver reports.
    virtual bool deviceIoControl(Handle h, std::uint32_t code, const void* in, std::size_t inSize,
                                 void* out, std::size_t outSize, std::uint32_t* returned,
                                 std::uint32_t timeoutMs) = 0;
    // Asks the system to eject the device; true when it was done without a veto.
    virtual bool requestEject(DevInst node) = 0;

    // --- Driver setup ---
    // Every present device with its hardware ids.
    virtual PresentDevices presentDevices() = 0;
    // The class an INF file installs, or nothing when it cannot be read.
    virtual std::optional<InfClass> infClass(const std::string& infPath) = 0;
    // An empty device information set for the class (SetupDiCreateDeviceInfoList); 0 on
    // failure. Released with destroyDeviceInfoList.
    virtual Handle createDeviceInfoList(const InfClass& deviceClass) = 0;
    // Creates the set's device (SetupDiCreateDeviceInfoA, instance id generated from the
    // class name); a set holds at most one. False on failure.
    virtual bool createDeviceInfo(Handle set, const InfClass& deviceClass) = 0;
    // Sets the hardware-id property of the set's device to `ids` (SPDRP_HARDWAREID, one
    // multi-string).
    virtual bool setHardwareIds(Handle set, const std::vector<std::string>& ids) = 0;
    // Asks the class installer to register or remove the set's device.
    virtual bool callClassInstaller(Handle set, ClassInstallRequest request) = 0;
    virtual void destroyDeviceInfoList(Handle set) = 0;
    // UpdateDriverForPlugAndPlayDevicesA of the new-device library ("newdev.dll", loaded
    // from the system folder for the call): installs the INF's driver on every present
    // device with `hardwareId`, without a window and forced. False on failure (lastError()
    // says why); `restart` tells whether Windows asks for a restart.
    virtual bool updateDriverForPlugAndPlayDevices(const std::string& hardwareId,
                                                   const std::string& infPath, bool& restart) = 0;

    // --- Windows of other programs ---
    // EnumWindows: every top-level window, or nothing when they cannot be listed.
    virtual std::optional<std::vector<Window>> topLevelWindows() = 0;
    // EnumChildWindows: every window below `parent`, at any depth.
    virtual std::vector<Window> childWindows(Window parent) = 0;
    // GetWindowTextW, as UTF-8; empty for a window without text or one that is gone.
    virtual std::string windowText(Window window) = 0;
    // Posts WM_CLOSE to the window.
    virtual void closeWindow(Window window) = 0;
    // Posts BM_CLICK to a button.
    virtual void clickButton(Window window) = 0;

    // --- Libraries loaded at run time ---
    // Loads a library by file name ("CV60FSDLL.dll") or path; 0 when it cannot be loaded.
    // The format library ("fmifs.dll", export "FormatEx") is reached this way too.
    virtual Handle loadLibrary(const std::string& name) = 0;
    // The address of an exported function, or nullptr.
    virtual void* libraryFunction(Handle library, const std::string& name) = 0;
    virtual void freeLibrary(Handle library) = 0;
    // A string of a loaded library's string table (LoadStringW), as UTF-8, or nothing when
    // it has none with that id.
    virtual std::optional<std::string> resourceString(Handle library, unsigned id) = 0;

    // --- Folders ---
    // The temporary folder as GetTempPathA reports it (normally ending in "\").
    virtual std::string tempFolder() = 0;
    // GetTempPathW: the same in UTF-16.
    virtual std::u16string tempFolderW() = 0;
    // The folder of the running program, ending in "\".
    virtual std::string programFolder() = 0;
    // The system folder (GetSystemDirectoryA), ending in "\"; empty when it cannot be read.
    virtual std::string systemFolder() = 0;

    // --- Text ---
    // WideCharToMultiByte into the ANSI code page: `text` as the narrow calls take it (UTF-8
    // in the simulator), or nothing when a character has no form there; never a stand-in.
    virtual std::optional<std::string> narrowFromWide(const std::u16string& text) = 0;

    // The error code of the calling thread's last failed call (GetLastError on Windows).
    virtual std::uint32_t lastError() = 0;

    // --- User ---
    // MessageBoxW with the UTF-8 `text` and `caption`, owned by the calling thread's active
    // window (none on a worker thread); the button that closed it.
    virtual MessageAnswer messageBox(const std::string& text, const std::string& caption,
                                     MessageButtons buttons, MessageIcon icon) = 0;

    // --- Time ---
    virtual LocalTime localTime() = 0;
    // Milliseconds of a monotonic clock; only differences mean anything.
    virtual std::uint64_t tickMs() = 0;
    virtual void sleepMs(std::uint32_t ms) = 0;
};

// The backend of this process. Chosen on first use: on Windows the real one unless
// CV50_SIM names a scenario file; elsewhere always the simulator (CV50_SIM, or the
// built-in sample world).
Os& current();

// Replaces the backend (the command line's --sim, tests). Returns the previous one;
// not to be called while another thread uses the seam.
std::unique_ptr<Os> install(std::unique_ptr<Os> backend);

// Closes a stdio file when it goes out of scope.
struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f != nullptr) std::fclose(f);
    }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// Closes a handle of the current backend when it goes out of scope.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle h) : h_(h) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& o) noexcept : h_(o.h_) { o.h_ = 0; }
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o) {
            reset();
            h_ = o.h_;
            o.h_ = 0;
        }
        return *this;
    }
    void reset() {
        if (h_ != 0) current().closeHandle(h_);
        h_ = 0;
    }
    Handle get() const { return h_; }
    explicit operator bool() const { return h_ != 0; }

private:
    Handle h_ = 0;
};

// Frees a library of the current backend on every path. An empty name loads nothing.
class LoadedLibrary {
public:
    explicit LoadedLibrary(const std::string& name)
        : handle_(name.empty() ? 0 : current().loadLibrary(name)) {}
    ~LoadedLibrary() {
        if (handle_ != 0) current().freeLibrary(handle_);
    }
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;
    explicit operator bool() const { return handle_ != 0; }
    Handle get() const { return handle_; }
    template <typename Fn>
    Fn function(const char* name) const {
        return reinterpret_cast<Fn>(current().libraryFunction(handle_, name));
    }

private:
    Handle handle_;
};

}  // namespace cv50::os
