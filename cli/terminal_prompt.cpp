#include "cli/terminal_prompt.h"

#include <istream>
#include <ostream>
#include <string>

namespace cv50::cli {

flash::PromptAnswerer terminalAnswerer(bool yes, std::istream& in, std::ostream& err) {
    return [yes, &in, &err](const std::string& text, const std::string&) {
        if (yes) return true;
        err << text << " [y/N] " << std::flush;
        std::string answer;
        if (!std::getline(in, answer)) return false;
        return answer == "y" || answer == "Y" || answer == "yes";
    };
}

}  // namespace cv50::cli
