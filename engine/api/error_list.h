// The library's static error tables, filled by the MD_ operations.
#pragma once

#include "engine/device/records.h"

namespace cv50::api {

// The error table of the plain MD_ calls.
ERROR_INFO* errorTable();

// Writes entries into a 16-entry table and keeps the caller's ERROR_LIST pointing at it.
// Entries past the 16th are dropped: the table is never written past its end.
class ErrorListWriter {
public:
    ErrorListWriter(ERROR_LIST* list, ERROR_INFO* table);
    void add(unsigned index, const char* text);
    int count() const { return count_; }

private:
    ERROR_LIST* list_;
    ERROR_INFO* table_;
    int count_ = 0;
};

}  // namespace cv50::api
