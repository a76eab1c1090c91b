// The merged error list of the staged upgrade: the errors of each step, whose indexes
// refer to that step's working copy, moved to the positions of the host's list.
#pragma once

#include <vector>

#include "engine/api/error_list.h"
#include "engine/device/records.h"

namespace cv50::api {

// The second static error table, kept for the staged calls.
ERROR_INFO* stagedErrorTable();

class MergedErrors {
public:
    // Starts the host's list `errors` empty on the staged table.
    MergedErrors(ERROR_LIST* errors, const SEARCH_RESULT& host);

    // Entries whose indexes already are positions in the host's list.
    void appendHost(const ERROR_LIST& step);
    // Entries whose indexes refer to `copy`: each goes to the first host record on the
    // same Layer.
    void appendStep(const ERROR_LIST& step, const SEARCH_RESULT& copy);
    // "Wait for Loader failed" for every record of `copy` that is not StatusOk.
    void appendWaitFailures(const SEARCH_RESULT& copy);
    // `text` for every host position that has no entry yet.
    void appendForEveryone(const char* text);

private:
    void add(int hostIndex, const char* text);

    ErrorListWriter writer_;
    SEARCH_RESULT host_;
    std::vector<bool> reported_;
};

}  // namespace cv50::api
