// What cv50 upgrade shows: one progress line per port while the road runs, then a summary
// table (or JSON).
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "engine/api/overall_progress.h"
#include "engine/api/progress.h"
#include "engine/api/upgrade_road.h"

namespace cv50::cli {

class PortProgressView {
public:
    // Each port's line tells its step and the percentage of its whole upgrade. `live`: `out`
    // is a terminal, so each port keeps one line that is redrawn in place; otherwise a line is
    // printed when a port changes step or passes another tenth of its bytes.
    PortProgressView(std::ostream& out, bool live, api::ProgressStep lastStep)
        : out_(out), live_(live), overall_(lastStep) {}
    void report(const api::Progress& progress);

private:
    struct Line {
        std::string layer;
        std::string text;
        api::ProgressStep step = api::ProgressStep::Upgrade;
        int tenth = -1;
    };
    Line& line(const std::string& layer, bool& isNew);
    void redraw();

    std::ostream& out_;
    bool live_;
    api::OverallProgress overall_;
    std::vector<Line> lines_;
    bool drawn_ = false;
};

void printSummary(std::ostream& out, const std::vector<api::RoadResult>& results);
void printSummaryJson(std::ostream& out, const std::vector<api::RoadResult>& results);

// Whether every port went well (and there was at least one).
bool allSucceeded(const std::vector<api::RoadResult>& results);

}  // namespace cv50::cli
