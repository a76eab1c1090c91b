// cv50ui: drives a program's windows from outside, for the GUI tests. One run takes a row
// of commands, so a test does not pay Wine's start-up for every step.
#include <string>
#include <vector>

#include "tools/uidriver/commands.h"
#include "tools/uidriver/utf.h"

namespace {

using namespace cv50ui;

void write(DWORD stream, const std::string& text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(stream), text.data(), static_cast<DWORD>(text.size()), &written,
              nullptr);
}

void usage() {
    std::string text =
        "usage: cv50ui COMMAND [ARGUMENT...] [COMMAND [ARGUMENT...]]...\n"
        "Runs the commands in order and stops at the first that fails (exit status 1; 2 for\n"
        "bad usage). ID is a control id (decimal, 0x hex, -1 for 0xFFFF) or @ for the window.\n"
        "Text in and out is UTF-8; line ends are LF.\n\n";
    for (const auto& c : allCommands()) {
        std::string line = "  " + std::string(c.name);
        for (const char* a : c.arguments) line += " " + std::string(a);
        if (line.size() < 34) line.resize(34, ' ');
        text += line + " " + c.help + "\n";
    }
    write(STD_OUTPUT_HANDLE, text);
}

struct Step {
    const Command* command;
    std::vector<std::wstring> args;
};

std::string shown(const Step& step) {
    std::string text = step.command->name;
    for (const auto& a : step.args) {
        const std::string arg = utf8FromWide(a);
        text += arg.find(' ') == std::string::npos && !arg.empty() ? " " + arg : " \"" + arg + "\"";
    }
    return text;
}

int usageError(const std::string& message) {
    write(STD_ERROR_HANDLE, "cv50ui: " + message + " (cv50ui --help lists the commands)\n");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return usageError("no command");
    const std::wstring first = argv[1];
    if (first == L"--help" || first == L"-h" || first == L"help") {
        usage();
        return 0;
    }

    // The whole row is checked before anything runs, so a typo never leaves a window
    // half driven.
    std::vector<Step> steps;
    for (int i = 1; i < argc;) {
        const std::string name = utf8FromWide(argv[i]);
        const Command* command = findCommand(name);
        if (!command) return usageError("unknown command \"" + name + "\"");
        Step step{command, {}};
        ++i;
        for (const char* kind : command->arguments) {
            if (i >= argc) return usageError(name + ": " + kind + " is missing");
            const std::string wrong = checkArgument(kind, argv[i]);
            if (!wrong.empty())
                return usageError(name + ": " + kind + " \"" + utf8FromWide(argv[i]) +
                                  "\": " + wrong);
            step.args.push_back(argv[i++]);
        }
        steps.push_back(std::move(step));
    }

    Session session;
    session.print = [](const std::wstring& line) {
        write(STD_OUTPUT_HANDLE, utf8FromWide(line) + "\n");
    };
    for (const auto& step : steps) {
        try {
            step.command->run(session, step.args);
        } catch (const Failure& failure) {
            write(STD_ERROR_HANDLE, "cv50ui: " + shown(step) + ": " + failure.what() + "\n");
            return 1;
        }
    }
    return 0;
}
