// The world `cv50` shows on a machine without players when no scenario is named.
#include "sim/scenario.h"

namespace cv50::sim {

const char* sampleScenarioText() {
    return R"({
  "speed": 20,
  "controllers": [
    {"usb": "2.0", "ports": [
      {"device": {"vid": "0x071b", "pid": "0x3201", "bcdUSB": "0x0201"}},
      null,
      {"device": {"vid": "0x046d", "pid": "0xc52b", "bcdUSB": "0x0200"}},
      {"hub": {"ports": [
        {"device": {"vid": "0x071b", "pid": "0x3203", "bcdUSB": "0x0200"}},
        {"device": {"vid": "0x071b", "pid": "0x3201", "bcdUSB": "0x0200"}},
        {"hub": {"ports": [
          null,
          {"device": {"vid": "0x071b", "pid": "0x3201", "bcdUSB": "0x0201"}}
        ]}}
      ]}}
    ]},
    {"usb": "1.1", "ports": [
      null,
      {"device": {"vid": "0x071b", "pid": "0x3201", "bcdUSB": "0x0201"}}
    ]}
  ]
})";
}

}  // namespace cv50::sim
