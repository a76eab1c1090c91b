#include "engine/api/staged_errors.h"

#include "engine/api/record_text.h"

namespace cv50::api {

ERROR_INFO* stagedErrorTable() {
    static ERROR_INFO table[kTableSize];
    return table;
}

MergedErrors::MergedErrors(ERROR_LIST* errors, const SEARCH_RESULT& host)
    : writer_(errors, stagedErrorTable()),
      host_(host),
      reported_(host.count > 0 ? static_cast<std::size_t>(host.count) : 0, false) {}

void MergedErrors::add(int hostIndex, const char* text) {
    if (hostIndex < 0 || hostIndex >= host_.count) return;
    reported_[static_cast<std::size_t>(hostIndex)] = true;
    writer_.add(static_cast<unsigned>(hostIndex), text);
}

void MergedErrors::appendHost(const ERROR_LIST& step) {
    for (int e = 0; e < step.count && step.errors; ++e)
        add(static_cast<int>(step.errors[e].index), step.errors[e].text);
}

void MergedErrors::appendStep(const ERROR_LIST& step, const SEARCH_RESULT& copy) {
    for (int e = 0; e < step.count && step.errors; ++e) {
        const int k = static_cast<int>(step.errors[e].index);
        if (k < 0 || k >= copy.count) continue;
        add(indexOfLayer(host_, copy.devices[k]), step.errors[e].text);
    }
}

void MergedErrors::appendWaitFailures(const SEARCH_RESULT& copy) {
    for (int k = 0; k < copy.count; ++k)
        if (copy.devices[k].status != StatusOk)
            add(indexOfLayer(host_, copy.devices[k]), "Wait for Loader failed");
}

void MergedErrors::appendForEveryone(const char* text) {
    for (int i = 0; i < host_.count; ++i)
        if (!reported_[static_cast<std::size_t>(i)]) add(i, text);
}

}  // namespace cv50::api
