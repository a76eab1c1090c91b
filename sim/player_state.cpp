// Keeping a player's flash between runs, and booting it.
#include "sim/player_state.h"

#include <filesystem>
#include <iostream>
#include <optional>

#include "sim/boot_rom/power_on.h"

namespace cv50::sim {
namespace {

std::string basePath(const SimPlayer& player, const std::string& folder) {
    return folder + "/player-" + player.layer;
}

void report(const std::string& what, const std::string& error) {
    std::cerr << "cv50 simulator: " << what << ": " << error << "\n";
}

// The boot ROM looks for an ID Block; its loader takes the disk layout from it and, when
// asked, starts the firmware on the image in the system disk. Nothing without an ID Block.
std::optional<PlayerMode> boot(SimPlayer& player, bool startFirmware) {
    player.image.reset();
    const std::optional<BootedCopy> booted = acceptedIdBlock(player.media->nand);
    if (!booted) return std::nullopt;
    player.media->disk.setLayout(diskLayoutOf(booted->copy));
    if (!startFirmware) return PlayerMode::Loader;
    NandDiskPart systemDisk(player.media->disk, &NandDisk::systemDisk);
    player.image = findSystemImage(systemDisk);
    return player.image ? PlayerMode::Msc : PlayerMode::Loader;
}

}  // namespace

void loadPlayerState(SimPlayer& player, const std::string& folder) {
    if (folder.empty()) return;
    const std::string base = basePath(player, folder);
    LoaderMedia& media = *player.media;
    std::string error;
    std::error_code ec;
    if (std::filesystem::exists(base + ".nand", ec) && !media.nand.load(base + ".nand", error))
        report(base + ".nand", error);
    // After the NAND: the layout skips the blocks that are bad now.
    if (std::filesystem::exists(base + ".layout", ec) &&
        !media.disk.loadLayout(base + ".layout", error))
        report(base + ".layout", error);
    if (std::filesystem::exists(base + ".disk", ec) &&
        !media.plainUserDisk.load(base + ".disk", error))
        report(base + ".disk", error);
}

void savePlayerState(const SimPlayer& player, const std::string& folder) {
    if (folder.empty()) return;
    const std::string base = basePath(player, folder);
    const LoaderMedia& media = *player.media;
    std::string error;
    if (!media.nand.save(base + ".nand", error) ||
        !media.disk.saveLayout(base + ".layout", error) ||
        (media.plainUserDisk.written() && !media.plainUserDisk.save(base + ".disk", error)))
        report("cannot keep the state of player " + player.layer, error);
}

PlayerMode startMode(SimPlayer& player) {
    if (player.spec.modeAtPowerOn) return resetMode(player, true);
    switch (player.spec.mode) {
        case PlayerMode::MaskRom:
            player.image.reset();
            player.media->disk.setLayout(std::nullopt);
            break;
        case PlayerMode::Loader:
            (void)boot(player, false);
            break;
        case PlayerMode::Msc:
            (void)boot(player, true);
            break;
    }
    return player.spec.mode;
}

PlayerMode resetMode(SimPlayer& player, bool resetFlag) {
    if (const auto mode = boot(player, resetFlag)) return *mode;
    player.media->disk.setLayout(std::nullopt);
    return PlayerMode::MaskRom;
}

}  // namespace cv50::sim
