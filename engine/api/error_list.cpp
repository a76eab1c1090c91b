#include "engine/api/error_list.h"

#include <cstdio>

namespace cv50::api {

ERROR_INFO* errorTable() {
    static ERROR_INFO table[kTableSize];
    return table;
}

ErrorListWriter::ErrorListWriter(ERROR_LIST* list, ERROR_INFO* table) : list_(list), table_(table) {
    if (list_) {
        list_->count = 0;
        list_->errors = table_;
    }
}

void ErrorListWriter::add(unsigned index, const char* text) {
    if (count_ == kTableSize) return;
    ERROR_INFO& e = table_[count_++];
    e.index = index;
    std::snprintf(e.text, sizeof e.text, "%s", text ? text : "");
    if (list_) list_->count = count_;
}

}  // namespace cv50::api
