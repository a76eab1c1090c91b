// A device list made by CopySearchResult or CopySuccessSearchResult, released when it goes
// out of scope or is replaced.
#pragma once

#include "engine/api/search_exports.h"
#include "engine/device/records.h"
#include "engine/device/search.h"

namespace cv50::api {

class OwnedList {
public:
    OwnedList() = default;
    ~OwnedList() { release(); }
    OwnedList(const OwnedList&) = delete;
    OwnedList& operator=(const OwnedList&) = delete;

    // Replaces this list with a copy of every record of `from`. False (and empty) when
    // `from` is empty or the copy fails.
    bool copyAll(SEARCH_RESULT& from) { return replace(from, CopySearchResult); }
    // ... of the records of `from` that are StatusOk.
    bool copySuccessful(SEARCH_RESULT& from) { return replace(from, CopySuccessSearchResult); }

    SEARCH_RESULT& get() { return list_; }
    int count() const { return list_.count; }
    bool empty() const { return list_.count < 1; }
    DEVICE_INFO& operator[](int i) { return list_.devices[i]; }

    void release() {
        FreeSearchResult(&list_);
        list_ = SEARCH_RESULT{0, nullptr};
    }
    // Gives the list to the caller, who releases it with FreeSearchResult.
    SEARCH_RESULT take() {
        const SEARCH_RESULT out = list_;
        list_ = SEARCH_RESULT{0, nullptr};
        return out;
    }

private:
    bool replace(SEARCH_RESULT& from, int (*copy)(SEARCH_RESULT*, SEARCH_RESULT*)) {
        SEARCH_RESULT fresh{0, nullptr};
        const bool ok = copy(&from, &fresh) == 1;
        release();
        if (ok) list_ = fresh;
        return ok;
    }

    SEARCH_RESULT list_{0, nullptr};
};

}  // namespace cv50::api
