// A Windows host of CV50DLL.dll: loads it by name, resolves the exports and logs.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

class Library {
public:
    explicit Library(const char* name) : module_(LoadLibraryA(name)) {}
    ~Library() {
        if (module_) FreeLibrary(module_);
    }
    explicit operator bool() const { return module_ != nullptr; }
    template <typename Fn>
    Fn get(const char* name) const {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }

private:
    HMODULE module_;
};

std::string today() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    char name[64];
    std::snprintf(name, sizeof name, "Log%04d-%02d-%02d.txt", st.wYear, st.wMonth, st.wDay);
    return name;
}

TEST(DllHost, LoadsByNameResolvesExportsAndLogsToTheDatedFile) {
    Library dll("CV50DLL.dll");
    ASSERT_TRUE(dll) << "LoadLibrary failed: " << GetLastError();

    using VoidFn = void (*)();
    using SetVidPidFn = void (*)(unsigned short, unsigned short, unsigned short, unsigned short);
    using SetLogPathFn = int (*)(char*);
    using LogFn = void (*)(const char*, ...);
    using AppendFn = int (*)(const char*);
    auto init = dll.get<VoidFn>("DllInitialize");
    auto deinit = dll.get<VoidFn>("DllDeInitialize");
    auto setVidPid = dll.get<SetVidPidFn>("SetVidPid");
    auto setLogPath = dll.get<SetLogPathFn>("SetLogPath");
    auto log = dll.get<LogFn>("Log");
    auto append = dll.get<AppendFn>("AppendLogLine");
    ASSERT_TRUE(init && deinit && setVidPid && setLogPath && log && append);

    char temp[MAX_PATH];
    ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
    std::string folder = std::string(temp) + "cv50-dll-host-" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));

    init();
    setVidPid(0x071b, 0x3201, 0x071b, 0x3203);
    std::string missing = folder + "\\missing";
    EXPECT_EQ(setLogPath(missing.data()), 0);
    EXPECT_EQ(setLogPath(folder.data()), 1);
    const std::string before = today();
    log("INFO:host says %d", 42);
    EXPECT_EQ(append("ERROR:second line"), 1);
    const std::string after = today();
    deinit();

    std::string text;
    for (const std::string& name : {before, after}) {
        std::ifstream in(folder + "\\" + name, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        text += s.str();
    }
    EXPECT_NE(text.find("\tINFO:host says 42\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\tERROR:second line\r\n"), std::string::npos) << text;
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}

}  // namespace
