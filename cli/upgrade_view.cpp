#include "cli/upgrade_view.h"

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <ostream>

namespace cv50::cli {
namespace {

std::string seconds(std::uint64_t ms) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f s", static_cast<double>(ms) / 1000.0);
    return buffer;
}

std::string describe(const api::Progress& p, unsigned overall) {
    std::string text = api::progressStepName(p.step);
    if (p.total > 0) {
        const std::uint64_t percent = std::min<std::uint64_t>(100, p.done * 100 / p.total);
        text += " " + std::to_string(percent) + "% (" + std::to_string(p.done / 1024) + " of " +
                std::to_string(p.total / 1024) + " KiB)";
    }
    return text + "; overall " + std::to_string(overall) + "%";
}

}  // namespace

PortProgressView::Line& PortProgressView::line(const std::string& layer, bool& isNew) {
    for (Line& l : lines_)
        if (l.layer == layer) {
            isNew = false;
            return l;
        }
    isNew = true;
    lines_.push_back(Line{layer, {}, api::ProgressStep::Upgrade, -1});
    return lines_.back();
}

void PortProgressView::report(const api::Progress& p) {
    // Each call of the road says "done" for its part; the summary tells the real end.
    if (p.step == api::ProgressStep::Done) return;
    const unsigned overall = overall_.update(p);
    bool isNew = false;
    Line& l = line(p.layer, isNew);
    const int tenth = p.total > 0 ? static_cast<int>(std::min<std::uint64_t>(10, p.done * 10 / p.total)) : -1;
    const bool changed = isNew || l.step != p.step || tenth != l.tenth;
    l.step = p.step;
    l.tenth = tenth;
    l.text = describe(p, overall);
    if (live_) {
        redraw();
    } else if (changed) {
        out_ << "port " << l.layer << ": " << l.text << "\n" << std::flush;
    }
}

void PortProgressView::redraw() {
    // Back to the first of our lines, then every line rewritten.
    if (drawn_ && lines_.size() > 1) out_ << "\x1b[" << (lines_.size() - 1) << "A";
    out_ << "\r";
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (i > 0) out_ << "\n";
        out_ << "\x1b[2Kport " << lines_[i].layer << ": " << lines_[i].text;
    }
    out_ << std::flush;
    drawn_ = true;
}

void printSummary(std::ostream& out, const std::vector<api::RoadResult>& results) {
    std::size_t width = 4;
    for (const auto& r : results) width = std::max(width, r.layer.size());
    auto pad = [](std::string s, std::size_t w) {
        s.resize(std::max(w, s.size()), ' ');
        return s;
    };
    out << pad("PORT", width) << "  RESULT  " << pad("TIME", 9) << "  MESSAGE\n";
    for (const auto& r : results)
        out << pad(r.layer, width) << "  " << pad(r.ok ? "ok" : "failed", 6) << "  "
            << pad(seconds(r.elapsedMs), 9) << "  " << r.message << "\n";
}

void printSummaryJson(std::ostream& out, const std::vector<api::RoadResult>& results) {
    nlohmann::json players = nlohmann::json::array();
    for (const auto& r : results)
        players.push_back({{"port", r.layer},
                           {"result", r.ok ? "ok" : "failed"},
                           {"message", r.message},
                           {"seconds", static_cast<double>(r.elapsedMs) / 1000.0}});
    out << nlohmann::json{{"ok", allSucceeded(results)}, {"players", players}}.dump(2) << "\n";
}

bool allSucceeded(const std::vector<api::RoadResult>& results) {
    return !results.empty() &&
           std::all_of(results.begin(), results.end(), [](const auto& r) { return r.ok; });
}

}  // namespace cv50::cli
