// The world `cv50` shows on a machine without players when no scenario is named.
#include "sim/scenario.h"

namespace cv50::sim {

const char* sampleScenarioText() {
    return R"({
  "speed": 20,
  "controllers": [
    {"usb": "2.0", "ports": [
      {"player": {"mode": "loader"}},
      null,
      {"device": {"vid": "0x046d", "pid": "0xc52b", "bcdUSB": "0x0200"}},
      {"hub": {"ports": [
        {"player": {"mode": "msc"}},
        {"player": {"mode": "maskrom",
                    "script": [{"at": 2, "action": "switch", "mode": "loader"}]}},
        {"hub": {"ports": [
          null,
          {"player": {"mode": "msc", "mountDelay": null}}
        ]}}
      ]}}
    ]},
    {"usb": "1.1", "ports": [
      null,
      {"player": {"mode": "loader"}}
    ]}
  ]
})";
}

}  // namespace cv50::sim
