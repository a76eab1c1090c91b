// Tests: a backend that hands every call to another one. A test derives from it, overrides
// the few calls it wants to answer or record, and installs it in place of the simulator.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/os/os.h"

namespace cv50::sim::testing {

class ForwardingOs : public os::Os {
public:
    explicit ForwardingOs(std::unique_ptr<os::Os> inner) : inner_(std::move(inner)) {}

    os::Os& inner() { return *inner_; }

    std::vector<std::string> hostControllerPaths() override {
        return inner_->hostControllerPaths();
    }
    os::Handle openDevice(const std::string& path) override { return inner_->openDevice(path); }
    void closeHandle(os::Handle h) override { inner_->closeHandle(h); }
    std::optional<std::string> rootHubName(os::Handle c) override { return inner_->rootHubName(c); }
    std::optional<unsigned> hubPortCount(os::Handle hub) override {
        return inner_->hubPortCount(hub);
    }
    std::optional<os::ConnectionInfo> connectionInfo(os::Handle hub, unsigned port) override {
        return inner_->connectionInfo(hub, port);
    }
    std::optional<std::string> downstreamHubName(os::Handle hub, unsigned port) override {
        return inner_->downstreamHubName(hub, port);
    }
    std::optional<std::string> driverKeyName(os::Handle hub, unsigned port) override {
        return inner_->driverKeyName(hub, port);
    }

    os::DevInst deviceTreeRoot() override { return inner_->deviceTreeRoot(); }
    os::DevInst deviceTreeChild(os::DevInst n) override { return inner_->deviceTreeChild(n); }
    os::DevInst deviceTreeSibling(os::DevInst n) override { return inner_->deviceTreeSibling(n); }
    os::DevInst deviceTreeParent(os::DevInst n) override { return inner_->deviceTreeParent(n); }
    std::optional<std::string> deviceDriverKey(os::DevInst n) override {
        return inner_->deviceDriverKey(n);
    }
    std::optional<std::string> deviceInstanceId(os::DevInst n) override {
        return inner_->deviceInstanceId(n);
    }

    os::WindowsVersion windowsVersion() override { return inner_->windowsVersion(); }

    std::uint32_t logicalDrives() override { return inner_->logicalDrives(); }
    unsigned driveType(char letter) override { return inner_->driveType(letter); }
    std::optional<std::string> dosDeviceTarget(char letter) override {
        return inner_->dosDeviceTarget(letter);
    }
    os::PropertyResult interfaceProperty(const std::string& path,
                                         os::DeviceProperty property) override {
        return inner_->interfaceProperty(path, property);
    }

    bool pathExists(const std::string& path) override { return inner_->pathExists(path); }
    std::FILE* openExclusiveReadWrite(const std::string& path) override {
        return inner_->openExclusiveReadWrite(path);
    }
    std::FILE* openFile(const std::string& path, const char* mode) override {
        return inner_->openFile(path, mode);
    }
    bool deleteFile(const std::string& path) override { return inner_->deleteFile(path); }
    std::optional<std::uint64_t> fileSize(const std::string& path) override {
        return inner_->fileSize(path);
    }
    bool createFolder(const std::string& path) override { return inner_->createFolder(path); }
    os::PathKind pathKind(const std::string& path) override { return inner_->pathKind(path); }
    std::string profileString(const std::string& path, const std::string& section,
                              const std::string& key, const std::string& fallback,
                              std::size_t size) override {
        return inner_->profileString(path, section, key, fallback, size);
    }
    std::u16string profileStringW(const std::u16string& path, const std::u16string& section,
                                  const std::u16string& key, const std::u16string& fallback,
                                  std::size_t size) override {
        return inner_->profileStringW(path, section, key, fallback, size);
    }
    int profileInt(const std::string& path, const std::string& section, const std::string& key,
                   int fallback) override {
        return inner_->profileInt(path, section, key, fallback);
    }
    int profileIntW(const std::u16string& path, const std::u16string& section,
                    const std::u16string& key, int fallback) override {
        return inner_->profileIntW(path, section, key, fallback);
    }
    std::vector<os::FoundFile> findFiles(const std::string& pattern) override {
        return inner_->findFiles(pattern);
    }
    std::vector<os::FoundFileW> findFilesW(const std::u16string& pattern) override {
        return inner_->findFilesW(pattern);
    }
    std::FILE* openFileW(const std::u16string& path, const char* mode) override {
        return inner_->openFileW(path, mode);
    }

    int shellCopy(const std::string& pattern, const std::string& destination,
                  bool& aborted) override {
        return inner_->shellCopy(pattern, destination, aborted);
    }
    bool copyFile(const std::string& source, const std::string& destination) override {
        return inner_->copyFile(source, destination);
    }

    os::Handle openReadWrite(const std::string& path) override {
        return inner_->openReadWrite(path);
    }
    long long writeHandle(os::Handle h, const void* data, std::size_t size,
                          std::uint32_t timeoutMs) override {
        return inner_->writeHandle(h, data, size, timeoutMs);
    }
    long long readHandle(os::Handle h, void* data, std::size_t size,
                         std::uint32_t timeoutMs) override {
        return inner_->readHandle(h, data, size, timeoutMs);
    }
    bool deviceIoControl(os::Handle h, std::uint32_t code, const void* in, std::size_t inSize,
                         void* out, std::size_t outSize, std::uint32_t* returned,
                         std::uint32_t timeoutMs) override {
        return inner_->deviceIoControl(h, code, in, inSize, out, outSize, returned, timeoutMs);
    }
    bool requestEject(os::DevInst node) override { return inner_->requestEject(node); }

    os::PresentDevices presentDevices() override { return inner_->presentDevices(); }
    std::optional<os::InfClass> infClass(const std::string& infPath) override {
        return inner_->infClass(infPath);
    }
    os::Handle createDeviceInfoList(const os::InfClass& deviceClass) override {
        return inner_->createDeviceInfoList(deviceClass);
    }
    bool createDeviceInfo(os::Handle set, const os::InfClass& deviceClass) override {
        return inner_->createDeviceInfo(set, deviceClass);
    }
    bool setHardwareIds(os::Handle set, const std::vector<std::string>& ids) override {
        return inner_->setHardwareIds(set, ids);
    }
    bool callClassInstaller(os::Handle set, os::ClassInstallRequest request) override {
        return inner_->callClassInstaller(set, request);
    }
    void destroyDeviceInfoList(os::Handle set) override { inner_->destroyDeviceInfoList(set); }
    bool updateDriverForPlugAndPlayDevices(const std::string& hardwareId,
                                           const std::string& infPath, bool& restart) override {
        return inner_->updateDriverForPlugAndPlayDevices(hardwareId, infPath, restart);
    }

    std::optional<std::vector<os::Window>> topLevelWindows() override {
        return inner_->topLevelWindows();
    }
    std::vector<os::Window> childWindows(os::Window parent) override {
        return inner_->childWindows(parent);
    }
    std::string windowText(os::Window window) override { return inner_->windowText(window); }
    void closeWindow(os::Window window) override { inner_->closeWindow(window); }
    void clickButton(os::Window window) override { inner_->clickButton(window); }

    os::Handle loadLibrary(const std::string& name) override { return inner_->loadLibrary(name); }
    void* libraryFunction(os::Handle library, const std::string& name) override {
        return inner_->libraryFunction(library, name);
    }
    void freeLibrary(os::Handle library) override { inner_->freeLibrary(library); }
    std::optional<std::string> resourceString(os::Handle library, unsigned id) override {
        return inner_->resourceString(library, id);
    }

    std::string tempFolder() override { return inner_->tempFolder(); }
    std::u16string tempFolderW() override { return inner_->tempFolderW(); }
    std::optional<std::string> narrowFromWide(const std::u16string& text) override {
        return inner_->narrowFromWide(text);
    }
    std::string programFolder() override { return inner_->programFolder(); }
    std::string systemFolder() override { return inner_->systemFolder(); }
    std::uint32_t lastError() override { return inner_->lastError(); }
    os::MessageAnswer messageBox(const std::string& text, const std::string& caption,
                                 os::MessageButtons buttons, os::MessageIcon icon) override {
        return inner_->messageBox(text, caption, buttons, icon);
    }

    os::LocalTime localTime() override { return inner_->localTime(); }
    std::uint64_t tickMs() override { return inner_->tickMs(); }
    void sleepMs(std::uint32_t ms) override { inner_->sleepMs(ms); }

private:
    std::unique_ptr<os::Os> inner_;
};

}  // namespace cv50::sim::testing
