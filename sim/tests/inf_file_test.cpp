// INF files as the simulated setup functions read them, and the driver package the build
// ships.
#include "sim/inf_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "base/host.h"
#include "engine/os/os.h"

namespace cv50::sim {
namespace {

TEST(InfFile, ReadsQuotesCommentsContinuedLinesAndStrings) {
    std::string error;
    const auto inf = InfFile::parse(
        "; a comment\r\n"
        "[version]\r\n"
        "Signature = \"$WINDOWS NT$\" ; trailing comment\r\n"
        "Provider = %Maker%\r\n"
        "[Manufacturer]\r\n"
        "%Maker% = Devices, NTamd64.10.0, NTx86\r\n"
        "[Devices]\r\n"
        "Old = OldInstall, USB\\VID_1\r\n"
        "[Devices.NTamd64.10.0]\r\n"
        "%Name% = Install, USB\\Vid_071b&Pid_3201&Rev_0100, \\\r\n"
        "    USB\\Vid_071b&Pid_3201\r\n"
        "[Install.NT]\r\n"
        "[Strings]\r\n"
        "Maker = \"Corv \"\"50\"\" ; not a comment\"\r\n"
        "Name = \"100%% player\"\r\n",
        error);
    ASSERT_TRUE(inf.has_value()) << error;
    EXPECT_EQ(inf->value("Version", "provider"), "Corv \"50\" ; not a comment");
    const auto models = inf->models();
    ASSERT_EQ(models.size(), 1u);  // the amd64 section, not the plain one
    EXPECT_EQ(models[0].description, "100% player");
    EXPECT_EQ(models[0].installSection, "Install");
    EXPECT_EQ(models[0].ids, (std::vector<std::string>{"USB\\Vid_071b&Pid_3201&Rev_0100",
                                                       "USB\\Vid_071b&Pid_3201"}));
    EXPECT_TRUE(inf->hasInstallSection("Install"));
    EXPECT_FALSE(inf->hasInstallSection("OldInstall"));
}

TEST(InfFile, RefusesWhatIsNoInf) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"", "no [Version] section"},
        {"[Version]\nSignature=\"$Unknown$\"\n", "no known Signature"},
        {"Signature=\"$Windows NT$\"\n[Version]\n", "a line before the first section"},
        {"[Version\nSignature=\"$Windows NT$\"\n", "without \"]\""},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(InfFile::parse(c.text, error).has_value()) << c.text;
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

TEST(InfFile, ReadsAUtf16File) {
    const std::u16string text = u"[Version]\r\nSignature=\"$Chicago$\"\r\nClass=Ports\r\n";
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    std::string error;
    const auto inf = InfFile::parse(bytes, error);
    ASSERT_TRUE(inf.has_value()) << error;
    EXPECT_EQ(inf->value("Version", "Class"), "Ports");
}

TEST(InfFile, GuidsLieInMemoryAsTheSystemLaysThemOut) {
    const std::array<std::uint8_t, 16> usbDevice = {0x32, 0xE0, 0xBA, 0x88, 0x81, 0x5A, 0xF0, 0x49,
                                                    0xBC, 0x3D, 0xA4, 0xFF, 0x13, 0x82, 0x16, 0xD6};
    EXPECT_EQ(parseGuid("{88BAE032-5A81-49f0-BC3D-A4FF138216D6}"), usbDevice);
    for (const char* bad : {"88BAE032-5A81-49f0-BC3D-A4FF138216D6", "{88BAE032-5A81-49f0-BC3D-A4FF138216DX}",
                            "{88BAE0325-A81-49f0-BC3D-A4FF138216D6}", ""})
        EXPECT_FALSE(parseGuid(bad).has_value()) << bad;
}

TEST(InfFile, TheShippedPackageInstallsWinUsbForThePlayersHardwareIds) {
    const std::string path = base::hostPath(os::current().programFolder() + "Driver\\corvusb50.inf");
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << path;
    std::ostringstream text;
    text << in.rdbuf();
    std::string error;
    const auto inf = InfFile::parse(text.str(), error);
    ASSERT_TRUE(inf.has_value()) << error;

    EXPECT_EQ(inf->value("Version", "Class"), "USBDevice");
    EXPECT_TRUE(parseGuid(inf->value("Version", "ClassGuid")).has_value());
    for (const char* key : {"Provider", "DriverVer", "CatalogFile"})
        EXPECT_FALSE(inf->value("Version", key).empty()) << key;
    EXPECT_EQ(inf->value("Version", "Provider").find('%'), std::string::npos);

    const auto models = inf->models();
    ASSERT_FALSE(models.empty());
    std::vector<std::string> ids;
    for (const auto& m : models) {
        EXPECT_TRUE(inf->hasInstallSection(m.installSection)) << m.installSection;
        EXPECT_EQ(inf->value(m.installSection, "Include"), "winusb.inf");
        EXPECT_EQ(inf->value(m.installSection, "Needs"), "WINUSB.NT");
        EXPECT_EQ(inf->value(m.installSection + ".Services", "Needs"), "WINUSB.NT.Services");
        ids.insert(ids.end(), m.ids.begin(), m.ids.end());
    }
    EXPECT_EQ(ids, (std::vector<std::string>{"USB\\Vid_071b&Pid_3201&Rev_0100",
                                             "USB\\Vid_071b&Pid_3201"}));
}

}  // namespace
}  // namespace cv50::sim
