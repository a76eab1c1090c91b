#include "cli/serial_numbers.h"

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

namespace cv50::cli {
namespace {

// What an ID Block holds.
constexpr std::size_t kMaxSerialBytes = 500;

// The state: one entry per source, the next free number (or line) of each.
nlohmann::json readState(const std::string& path, std::string& problem) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return nlohmann::json::object();
    try {
        nlohmann::json state = nlohmann::json::parse(in);
        if (state.is_object()) return state;
    } catch (const nlohmann::json::exception&) {
    }
    problem = "the serial-number state " + path + " is damaged; it is not overwritten";
    return nullptr;
}

}  // namespace

std::string serialStatePath(const std::string& reportPath) { return reportPath + ".serials.json"; }

std::unique_ptr<SerialNumbers> SerialNumbers::open(const std::string& source,
                                                   const std::string& statePath,
                                                   std::string& problem) {
    std::unique_ptr<SerialNumbers> s(new SerialNumbers());
    s->source_ = source;
    s->statePath_ = statePath;
    std::uint64_t first = 0;
    if (!source.empty() && source[0] == '@') {
        s->fromFile_ = true;
        std::ifstream in(source.substr(1), std::ios::binary);
        if (!in) {
            problem = "--serial: cannot read " + source.substr(1);
            return nullptr;
        }
        std::string line;
        for (int number = 1; std::getline(in, line); ++number) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.empty()) continue;
            if (line.size() > kMaxSerialBytes) {
                problem = "--serial: line " + std::to_string(number) + " of " + source.substr(1) +
                          " is longer than the 500 bytes a serial number holds";
                return nullptr;
            }
            s->lines_.push_back(line);
        }
        if (s->lines_.empty()) {
            problem = "--serial: " + source.substr(1) + " holds no serial number";
            return nullptr;
        }
    } else {
        const std::size_t open = source.find('{');
        const std::size_t close = source.find('}', open == std::string::npos ? 0 : open);
        const std::string digits = open == std::string::npos || close == std::string::npos
                                       ? ""
                                       : source.substr(open + 1, close - open - 1);
        if (digits.empty() || digits.size() > 18 ||
            digits.find_first_not_of("0123456789") != std::string::npos ||
            source.find_first_of("{}", close + 1) != std::string::npos || source.find('}') < open) {
            problem =
                "--serial takes a pattern with one number in braces, such as "
                "SN2026-{0001}, or @FILE, not \"" +
                source + "\"";
            return nullptr;
        }
        s->prefix_ = source.substr(0, open);
        s->suffix_ = source.substr(close + 1);
        s->width_ = digits.size();
        first = std::stoull(digits);
        if (s->prefix_.size() + s->suffix_.size() + 19 > kMaxSerialBytes) {
            problem = "--serial: the pattern is longer than a serial number holds";
            return nullptr;
        }
    }
    const nlohmann::json state = readState(statePath, problem);
    if (state.is_null()) return nullptr;
    s->next_ = first;
    if (state.contains(source) && state[source].is_number_unsigned())
        s->next_ = std::max(first, state[source].get<std::uint64_t>());
    return s;
}

bool SerialNumbers::save(std::uint64_t next, std::string& problem) const {
    nlohmann::json state = readState(statePath_, problem);
    if (state.is_null()) return false;
    state[source_] = next;
    // Written beside and renamed over, so a crash leaves the old state or the new one.
    const std::string temporary = statePath_ + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << state.dump(2) << "\n";
        out.flush();
        if (!out) {
            problem = "cannot write the serial-number state " + temporary;
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, statePath_, error);
    if (error) {
        problem = "cannot replace the serial-number state " + statePath_ + ": " + error.message();
        return false;
    }
    return true;
}

std::optional<std::string> SerialNumbers::next() {
    std::lock_guard lock(mutex_);
    std::string serial;
    if (fromFile_) {
        if (next_ >= lines_.size()) {
            problem_ = "every serial number of " + source_.substr(1) + " is given";
            return std::nullopt;
        }
        serial = lines_[next_];
    } else {
        std::ostringstream number;
        number.width(static_cast<std::streamsize>(width_));
        number.fill('0');
        number << next_;
        serial = prefix_ + number.str() + suffix_;
    }
    // Marked as given before any player has it.
    if (!save(next_ + 1, problem_)) return std::nullopt;
    ++next_;
    return serial;
}

std::string SerialNumbers::problem() const {
    std::lock_guard lock(mutex_);
    return problem_;
}

}  // namespace cv50::cli
