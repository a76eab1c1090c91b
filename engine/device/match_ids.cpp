#include "engine/device/match_ids.h"

namespace cv50::device {

MatchIds& matchIds() {
    static MatchIds ids;
    return ids;
}

}  // namespace cv50::device
