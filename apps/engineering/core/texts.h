// The engineering tool's own texts (UTF-8): its messages, log lines and device lines.
// They are built in; this tool reads no language file.
#pragma once

namespace cv50::engineering::text {

inline constexpr char kProduct[] = "CV50Upgrade For Image";
inline constexpr char kVersionSuffix[] = " v2.22";
inline constexpr char kAboutItem[] = "关于 CV50Upgrade(&A)...";
inline constexpr char kMessageCaption[] = "CV50Upgrade";

// Settings.
inline constexpr char kSettingsFile[] = "Setting.ini";
inline constexpr char kSettingsUnopenable[] = "打开Setting.ini文件失败";
inline constexpr char kErrorCaption[] = "ERROR";

// Boot file and image.
inline constexpr char kBootCaption[] = "Boot文件解包";
inline constexpr char kBootBadHead[] = "错误的Boot文件头部信息";
inline constexpr char kBootUnpackFailed[] = "Boot文件解包失败！";
inline constexpr char kImageLargerThanSystemDisk[] =
    "Image大小:%dM\r\n新系统盘容量:%dM\r\n新系统盘容量小于Image,请更改新系统盘容量后再进行升级!";
inline constexpr char kReplaceBoot[] =
    "在镜像文件中发现配对的Boot文件,是否替换已选择的Boot文件,进行升级?";
inline constexpr char kBootFilter[] = "Boot Code(*.bin)|*.bin|All File(*.*)|*.*||";
inline constexpr char kImageFilter[] = "Image File(*.img)|*.img|All File(*.*)|*.*||";
inline constexpr char kSdramFilter[] = "SDRAM File(*.bin)|*.bin|All File(*.*)|*.*||";
inline constexpr char kFolderTitle[] = "Select a folder";

// Upgrade refused.
inline constexpr char kNoBootFile[] = "请先设置Boot File";
inline constexpr char kNoImageFile[] = "请先设置Image File";
inline constexpr char kImageSizeUnknown[] = "获取Image文件大小失败";
inline constexpr char kDemoWithAuto[] = "拷贝demo功能不能与自动升级功能同时使用";
inline constexpr char kNoDevice[] = "没有发现CV50 Corv Usb设备";
inline constexpr char kSeveralDevices[] = "发现多个CV50 Corv Usb设备";
inline constexpr char kDiskCannotUpgrade[] = "此设备不支持升级";
inline constexpr char kStillRunning[] = "升级程序还在执行，请等待";
inline constexpr char kBadPartition[] = "分区信息数据不合法";
inline constexpr char kUseMinimum[] = "指定的配置盘尺寸小于最低值，是否使用最低值";
// Not every count makes a pass: 0 or less would start nothing and never end.
inline constexpr char kBadRepeatCount[] = "自动升级次数必须大于0";

// Device line.
inline constexpr char kDeviceNone[] = "没有设备";
inline constexpr char kDeviceNotFound[] = "没有发现CV50 Corv Usb设备.";
inline constexpr char kDeviceLoader[] = "发现一个CV50 Loader Corv Usb设备.";
inline constexpr char kDeviceMaskRom[] = "发现一个CV50 MaskRom Corv Usb设备.";
inline constexpr char kDeviceDisk[] = "发现一个CV50 Mass Storage Usb设备.";
inline constexpr char kDeviceSeveral[] = "发现多个CV50 Corv Usb设备. ";

// Banners, written to the log file only.
inline constexpr char kBannerStart[] = "****************正常启动****************";
inline constexpr char kBannerUpgrade[] = "****************开始升级****************";
inline constexpr char kBannerImage[] = "****************下载镜像****************";
inline constexpr char kBannerDemo[] = "****************拷贝DEMO****************";

// Controller.
inline constexpr char kAutoPass[] = "INFO:自动升级[%d]";
inline constexpr char kLoaderTimeout[] = "INFO:等待Loader Corv Usb设备超时";
inline constexpr char kDiskTimeout[] = "INFO:等待Msc设备超时";

// ID Block steps.
inline constexpr char kMaskRomPath[] = "MaskRom设备路径(%s)";
inline constexpr char kLoaderPath[] = "Loader设备路径(%s)";
inline constexpr char kBootStart[] = "INFO:开始下载Boot Code";
inline constexpr char kBootFailedReplug[] = "ERROR:Boot Code下载失败,请重新拔插设备";
inline constexpr char kBootFailed[] = "ERROR:Boot Code下载失败";
inline constexpr char kBootDone[] = "INFO:Boot Code下载成功";
inline constexpr char kBootSkipped[] = "INFO:跳过下载Boot Code";
inline constexpr char kTestLink[] = "INFO:测试设备通信";
inline constexpr char kTestLinkAttemptMaskRom[] = "ERROR:测试设备通信失败,错误代码(%d)!";
inline constexpr char kTestLinkAttemptLoader[] = "ERROR:测试设备通信失败,错误代码(%d)";
inline constexpr char kTestLinkFailed[] = "ERROR:测试设备通信失败!";
inline constexpr char kTestLinkOk[] = "INFO:测试设备通信正常";
inline constexpr char kIdBlockStart[] = "INFO:开始写ID_BLOCK";
inline constexpr char kIdBlockFailed[] = "ERROR:ID_BLOCK写入失败,错误代码(%d)";
inline constexpr char kIdBlockDone[] = "INFO:ID_BLOCK写入成功";
inline constexpr char kUserCancelled[] = "INFO:用户取消升级操作";
// Asked before an update corrects what its copies record; Cancel keeps it and goes on.
inline constexpr char kAskOffsetCorrection[] =
    "ID_BLOCK记录中IDB偏移和实际检测不符,是否用实际偏移进行替换";
inline constexpr char kAskReservedCorrection[] = "ID_BLOCK记录中系统保留块值出错,是否进行纠正";
inline constexpr char kResetStart[] = "INFO:开始重启设备";
inline constexpr char kResetDone[] = "INFO:重启设备成功";
inline constexpr char kResetDoneCode[] = "INFO:重启设备成功,返回代码(%d)";
inline constexpr char kResetFailed[] = "ERROR:重启设备失败,错误代码(%d)";
inline constexpr char kMaskRomStepOk[] = "INFO:MaskRomThread成功结束";
inline constexpr char kMaskRomStepFailed[] = "ERROR:MaskRomThread出错结束";
inline constexpr char kLoaderStepOk[] = "INFO:LoaderThread成功结束";
inline constexpr char kLoaderStepFailed[] = "ERROR:LoaderThread出错结束";

// Image step.
inline constexpr char kTestStart[] = "INFO:开始测试设备";
inline constexpr char kImagePath[] = "Image设备路径(%s)";
inline constexpr char kTestDone[] = "INFO:测试设备完成";
inline constexpr char kTestBusy[] = "INFO:正在测试设备,总块数:%d,当前块:%d";
inline constexpr char kTestAttemptFailed[] = "ERROR:测试设备失败,错误代码(%d)";
inline constexpr char kTestFailed[] = "ERROR:测试设备失败";
inline constexpr char kImageStart[] = "INFO:开始下载Image";
inline constexpr char kImageWriting[] = "INFO:正在写入Image,已完成%d%%";
inline constexpr char kImageChecking[] = "INFO:正在校验Image,已完成%d%%";
inline constexpr char kImageFailed[] = "ERROR:下载Image失败,错误代码(%d)";
inline constexpr char kImageDone[] = "INFO:下载Image成功,耗时(%dMS)";
inline constexpr char kResetFlagStart[] = "INFO:开始设置重启标志";
inline constexpr char kResetFlagAttemptFailed[] = "ERROR:设置重启标志失败,错误代码(%d)";
inline constexpr char kResetFlagFailed[] = "ERROR:设置重启标志失败";
inline constexpr char kImageStepFailed[] = "ERROR:下载Image出错结束";

// Demo step.
inline constexpr char kDemoDiskStart[] = "INFO:开始获取Demo盘";
inline constexpr char kDemoPath[] = "CopyDemo设备路径(%s)";
inline constexpr char kDemoDiskFailed[] = "ERROR:获取Demo盘失败";
inline constexpr char kFormatStart[] = "INFO:开始格式化Demo盘";
inline constexpr char kFormatFailed[] = "ERROR:格式化Demo盘失败";
inline constexpr char kCopyStart[] = "INFO:开始拷贝Demo";
inline constexpr char kCopyFailed[] = "ERROR:拷贝Demo失败";
inline constexpr char kCopyDone[] = "INFO:拷贝Demo数据成功,耗时(%dMS)";
inline constexpr char kDemoStepFailed[] = "ERROR:拷贝Demo出错结束";

// End of a pass and the auto-upgrade loop.
inline constexpr char kUpgradeOk[] = "INFO:升级成功";
inline constexpr char kUpgradeEnded[] = "INFO:升级结束";
inline constexpr char kAutoStart[] = "INFO:启动自动升级，总升级次数：%d";
inline constexpr char kAutoOk[] = "INFO:自动升级成功";
inline constexpr char kAutoEnded[] = "INFO:自动升级结束";
inline constexpr char kAutoCancelled[] = "INFO:用户取消自动升级";

// Tools.
inline constexpr char kToolErrorCaption[] = "Error";
inline constexpr char kSwitchFailed[] = "切换CorvUsb失败";
inline constexpr char kSwitchNoDrive[] = "无法获取设备盘符,退出切换";
inline constexpr char kCapacityOnDisk[] = "Msc设备无法获取磁盘容量,请先切换到Loader设备";
inline constexpr char kCapacity[] = "系统盘容量:%dM\r\n配置盘容量:%dM";
inline constexpr char kCapacityCaption[] = "获取磁盘容量";
inline constexpr char kCapacityFailed[] = "Msc获取磁盘容量失败";
inline constexpr char kEraseOnDisk[] = "Msc设备无法擦除IDB,请先切换到Loader设备";
inline constexpr char kEraseNoBoot[] = "未选择Boot文件,无法从Maskrom设备进行擦除IDB";
inline constexpr char kEraseBootFailed[] = "下载Boot文件失败,无法从Maskrom设备进行擦除IDB";
inline constexpr char kEraseTestFailed[] = "测试设备失败,无法从Maskrom设备进行擦除IDB";
inline constexpr char kEraseDone[] = "擦除IDB成功";
inline constexpr char kEraseCaption[] = "擦除IDB";
inline constexpr char kEraseFailed[] = "擦除IDB失败";

}  // namespace cv50::engineering::text
