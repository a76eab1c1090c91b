// The production tool's own texts (UTF-8): its log lines, its built-in messages and names.
// What it shows in its list and most of its message boxes comes from the language file
// (text_keys.h); these are the texts that do not.
#pragma once

#include <string>

namespace cv50::batch::text {

// `format` with its one "%d" filled (the reasons that carry an error code).
std::string withCode(const char* format, int code);

inline constexpr char kProduct[] = "CV50BatchUpgrade For Image";
inline constexpr char kVersionSuffix[] = " v2.22";
inline constexpr char kCaption[] = "CV60BacthUpgrade";
inline constexpr char kAboutItem[] = "About CV50BatchUpgrade(&A)...";
inline constexpr char kAboutCaption[] = "About CV50BatchUpgrade";
inline constexpr char kMessageCaption[] = "CV50BatchUpgrade";

// Settings and language.
inline constexpr char kSettingsFile[] = "setting.ini";
inline constexpr char kNoSettings[] = "No found setting.ini";
inline constexpr char kDefaultLanguage[] = "English";
inline constexpr char kLanguageFolder[] = "Language\\";
inline constexpr char kLanguageRefused[] = "ERROR:语言文件文本不合法(%s):%s";

// Start-up and the boot files.
inline constexpr char kStarted[] = "程序正常启动";
inline constexpr char kStartBootData[] = "UsbData.bin";
inline constexpr char kStartBootProg[] = "UsbBoot.bin";
inline constexpr char kStartBootProg2nd[] = "FlashData.bin";
inline constexpr char kStartBootFlash[] = "FlashBoot.bin";
inline constexpr char kLoadLibraryFailed[] = "ERROR:载入CV60FSDLL动态库失败";
inline constexpr char kFunctionMissing[] = "ERROR:获取%s函数失败";
inline constexpr char kLoaderPathFailed[] = "ERROR:执行FS_GetLoaderPath函数失败";
inline constexpr char kWriteToPcFailed[] = "ERROR:执行FS_WriteFileToPC函数失败,错误代码(%d)";
inline constexpr char kBootCaption[] = "Boot文件解包";
inline constexpr char kBootBadHead[] = "错误的Boot文件头部信息";
inline constexpr char kBootUnpackFailed[] = "Boot文件解包失败!";
inline constexpr char kBootFilter[] = "Boot Code(*.bin)|*.bin|All File(*.*)|*.*||";
inline constexpr char kImageFilter[] = "Image(*.img)|*.img|All File(*.*)|*.*||";
inline constexpr char kFolderTitle[] = "Select a folder";

// Batch start.
inline constexpr char kBadPartition[] = "分区信息数据不合法";
inline constexpr char kPromptCaption[] = "提示";
inline constexpr char kUseMinimum[] = "指定的配置盘尺寸小于最低值，是否使用最低值";

// Stage one.
inline constexpr char kUpgradeStart[] = "<Layer:%s> 开始升级";
inline constexpr char kMaskRomThread[] = "<Layer:%s> MaskRomUpgrade线程 设备路径(%s)";
inline constexpr char kLoaderThread[] = "<Layer:%s> LoaderUpgrade线程 设备路径(%s)";
inline constexpr char kBootStart[] = "<Layer:%s> 开始下载Boot";
inline constexpr char kBootDone[] = "<Layer:%s> 下载Boot成功";
inline constexpr char kTestStart[] = "<Layer:%s> 开始测试设备";
inline constexpr char kTestAttemptFailed[] = "<Layer:%s> ERROR:测试设备失败,错误代码(%d)";
inline constexpr char kTestDone[] = "<Layer:%s> 测试设备成功";
inline constexpr char kIdBlockStart[] = "<Layer:%s> 开始写IDB";
inline constexpr char kIdBlockDone[] = "<Layer:%s> 写IDB成功";
inline constexpr char kResetStart[] = "<Layer:%s> 开始重启设备";
inline constexpr char kResetFailed[] = "<Layer:%s> ERROR:重启设备失败,错误代码(%d)";
inline constexpr char kResetDone[] = "<Layer:%s> 重启设备成功";
inline constexpr char kResetDoneCode[] = "<Layer:%s> 重启设备成功,返回代码(%d)";
inline constexpr char kMaskRomStageDone[] = "<Layer:%s> (MaskRom)升级第一阶段完成,等待下载Image";
inline constexpr char kLoaderStageDone[] = "<Layer:%s> (Loader)升级第一阶段完成,等待下载Image";

// Failing a slot, and its reasons.
inline constexpr char kSlotFailed[] = "<Layer:%s> Error:升级失败-%s";
inline constexpr char kReasonDropped[] = "设备掉线";
inline constexpr char kReasonBoot[] = "下载Boot Code失败,错误代码(%d)";
inline constexpr char kReasonTestFailed[] = "测试设备失败";
inline constexpr char kReasonTestTimedOut[] = "测试设备超时";
inline constexpr char kReasonIdBlock[] = "写IDB失败,错误代码(%d)";
inline constexpr char kReasonReset[] = "重启设备失败";
inline constexpr char kReasonImage[] = "Image下载出错,错误代码(%d)";
inline constexpr char kReasonResetFlag[] = "设置重启标志失败";
inline constexpr char kReasonDemoDisk[] = "获取Demo盘失败";
inline constexpr char kReasonFormat[] = "格式化Demo盘失败,错误代码(%d)";
inline constexpr char kReasonCopy[] = "拷贝Demo失败";

// Image stage.
inline constexpr char kImageThread[] = "<Layer:%s> 下载Image线程 设备路径(%s)";
inline constexpr char kImageTestAttemptFailed[] = "<Layer:%s> ERROR:测试设备失败,错误代码(%d)\r\n";
inline constexpr char kImageStart[] = "<Layer:%s> 开始Image下载";
inline constexpr char kImageDone[] = "<Layer:%s> 下载Image成功,耗时(%dMS)";
inline constexpr char kCompareFailed[] = "ERROR:写入数据和原始数据不一致,校验失败,已校验%d字节\r\n";
inline constexpr char kDumpTime[] = "%02d-%02d-%02d-%03d";
inline constexpr char kSecondCompareDiffers[] = "<Layer:%s> ERROR:第二次比较不一致";
inline constexpr char kSecondCompareMatches[] = "<Layer:%s> ERROR:第二次比较成功";
inline constexpr char kSecondReadFailed[] = "<Layer:%s> ERROR:第二次从Flash读Image内容失败,错误代码(%d)";
inline constexpr char kUpgradeDone[] = "<Layer:%s> 升级成功";

// Demo stage.
inline constexpr char kDemoStart[] = "<Layer:%s> 开始拷贝Demo 设备路径(%s)";
inline constexpr char kResetFlagStart[] = "<Layer:%s> 开始设置重启标志";
inline constexpr char kResetFlagFailed[] = "<Layer:%s> ERROR:设置重启标志失败,错误代码(%d)";
inline constexpr char kDemoThread[] = "<Layer:%s> CopyDemo线程 设备路径(%s)";
inline constexpr char kDemoDiskStart[] = "<Layer:%s> 开始获取Demo盘";
inline constexpr char kFormatStart[] = "<Layer:%s> 开始格式化Demo盘";
inline constexpr char kCopyStart[] = "<Layer:%s> 开始拷贝Demo";
inline constexpr char kCopyDone[] = "<Layer:%s> 拷贝Demo成功,耗时(%dMS)";

// Device monitor.
inline constexpr char kDropped[] = "掉线设备<layer:%s>";
inline constexpr char kNewDevice[] = "找到新设备<Layer:%s>";
inline constexpr char kReconnected[] = "Reset后重新连接上,耗时(%dMS)";
inline constexpr char kLoaderWaitOver[] = "Reset后等待设备超时,继续下载Image";
inline constexpr char kLoaderWaitFailed[] = "Reset后等待Loader设备超时";
inline constexpr char kMscWaitFailed[] = "Reset后等待MSC设备超时";

}  // namespace cv50::batch::text
