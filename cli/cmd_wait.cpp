// cv50 wait: wait until a player of a given kind answers on a port.
#include <cstdio>
#include <cstring>

#include "cli/commands.h"
#include "cli/device_kind.h"
#include "cli/port_option.h"
#include "engine/api/search_exports.h"
#include "engine/device/port_walk.h"
#include "engine/device/search.h"

namespace cv50::cli {
namespace {

struct WaitOptions {
    std::string port;
    std::string kind;
    unsigned timeout = 20;
    bool all = false;
};

}  // namespace

void addWaitCommand(CLI::App& app, Action& action) {
    auto o = std::make_shared<WaitOptions>();
    CLI::App* cmd = app.add_subcommand("wait", "Wait until a player of a kind answers on a port");
    addPortOption(*cmd, o->port);
    cmd->add_option("--kind", o->kind, "MaskRom, Loader or Msc")
        ->required()
        ->check([](const std::string& s) {
            return parseKind(s) ? std::string() : "expected MaskRom, Loader or Msc, got " + s;
        });
    cmd->add_option("--timeout", o->timeout, "Seconds to wait (default 20)")
        ->check(CLI::Range(0, 65535));
    cmd->add_flag("--all", o->all, "Walk every host controller (USB 1.1 ports too)");
    cmd->callback([o, &action] {
        action = [o] {
            const CV_DEVICE_TYPE kind = *parseKind(o->kind);
            DEVICE_INFO record;
            std::memset(&record, 0, sizeof record);
            std::memcpy(record.layer, o->port.c_str(), o->port.size() + 1);
            SEARCH_RESULT list{1, &record};
            const auto timeout = static_cast<unsigned short>(o->timeout);
            const int found = o->all ? WaitCVDevice_All(&list, kind, timeout)
                                     : WaitCVDevice(&list, kind, timeout);
            if (!found) {
                std::printf("No %s on port %s within %u s\n", kindName(kind), o->port.c_str(),
                            o->timeout);
                return kExitFailed;
            }
            std::printf("%s on port %s: %s", kindName(kind), record.layer, record.devicePath);
            if (record.driveLetter) std::printf(" (%c:)", record.driveLetter);
            std::printf("\n");
            return kExitOk;
        };
    });
}

}  // namespace cv50::cli
