#include "cli/upgrade_report.h"

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

namespace cv50::cli {
namespace {

constexpr char kCsvHeader[] =
    "port,mode,serial,version_before,version_after,result,failed_stage,message,seconds\n";

bool endsWith(const std::string& s, const std::string& end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string secondsText(double seconds) {
    std::ostringstream s;
    s.setf(std::ios::fixed);
    s.precision(1);
    s << seconds;
    return s.str();
}

// The rows of a JSON report, or null when the file holds something else.
nlohmann::json readRows(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in || in.peek() == std::ifstream::traits_type::eof()) return nlohmann::json::array();
    try {
        nlohmann::json rows = nlohmann::json::parse(in);
        if (rows.is_array()) return rows;
    } catch (const nlohmann::json::exception&) {
    }
    return nullptr;
}

}  // namespace

std::unique_ptr<UpgradeReport> UpgradeReport::open(const std::string& path, std::string& problem) {
    const bool json = endsWith(path, ".json");
    if (json && readRows(path).is_null()) {
        problem = "--report: " + path + " is not a JSON list of rows; it is not overwritten";
        return nullptr;
    }
    std::ofstream probe(path, std::ios::binary | std::ios::app);
    if (!probe) {
        problem = "--report: cannot write " + path;
        return nullptr;
    }
    probe.close();
    std::error_code error;
    if (!json && std::filesystem::file_size(path, error) == 0) {
        std::ofstream out(path, std::ios::binary | std::ios::app);
        out << kCsvHeader;
    }
    return std::unique_ptr<UpgradeReport>(new UpgradeReport(path, json));
}

bool UpgradeReport::append(const ReportRow& r) {
    if (!json_) {
        std::ofstream out(path_, std::ios::binary | std::ios::app);
        out << csvField(r.port) << ',' << csvField(r.mode) << ',' << csvField(r.serial) << ','
            << csvField(r.versionBefore) << ',' << csvField(r.versionAfter) << ','
            << (r.ok ? "ok" : "failed") << ',' << csvField(r.stage) << ',' << csvField(r.message)
            << ',' << secondsText(r.seconds) << '\n';
        out.flush();
        return static_cast<bool>(out);
    }
    nlohmann::json rows = readRows(path_);
    if (rows.is_null()) return false;
    rows.push_back({{"port", r.port},
                    {"mode", r.mode},
                    {"serial", r.serial},
                    {"versionBefore", r.versionBefore},
                    {"versionAfter", r.versionAfter},
                    {"result", r.ok ? "ok" : "failed"},
                    {"failedStage", r.stage},
                    {"message", r.message},
                    {"seconds", r.seconds}});
    // The whole list written beside and renamed over: a crash leaves one valid list or the other.
    const std::string temporary = path_ + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << rows.dump(2) << "\n";
        out.flush();
        if (!out) return false;
    }
    std::error_code error;
    std::filesystem::rename(temporary, path_, error);
    return !error;
}

}  // namespace cv50::cli
