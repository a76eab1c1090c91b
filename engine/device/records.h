// The records that cross the boundary of CV50DLL. Their layouts are fixed: hosts
// allocate DEVICE_INFO themselves and hand it back, so every offset is checked here.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

typedef enum CV_DEVICE_TYPE : std::int32_t {
    NoDevice = 0,
    MaskRom = 1,
    Loader = 2,
    Msc = 3,
} CV_DEVICE_TYPE;

enum : std::uint32_t {
    StatusIdle = 0,
    StatusBusy = 1,
    StatusOk = 2,
    StatusFailed = 3,
};

typedef struct DEVICE_INFO {
    std::uint16_t vid;
    std::uint16_t pid;
    char devicePath[512];
    char layer[20];
    std::uint32_t devInst;
    CV_DEVICE_TYPE type;
    char driveLetter;
    std::uint32_t status;
} DEVICE_INFO;

typedef struct _CORV_VERSION {
    std::uint16_t loaderLow;
    std::uint16_t loaderHigh;
    std::uint32_t reserved;
    std::uint16_t systemLow;
    std::uint16_t systemHigh;
} _CORV_VERSION;

typedef struct SEARCH_RESULT {
    std::int32_t count;
    DEVICE_INFO* devices;
} SEARCH_RESULT;

typedef struct ERROR_INFO {
    std::uint32_t index;
    char text[256];
} ERROR_INFO;

typedef struct ERROR_LIST {
    std::int32_t count;
    ERROR_INFO* errors;
} ERROR_LIST;

}  // extern "C"

static_assert(sizeof(CV_DEVICE_TYPE) == 4);
static_assert(offsetof(DEVICE_INFO, vid) == 0);
static_assert(offsetof(DEVICE_INFO, pid) == 2);
static_assert(offsetof(DEVICE_INFO, devicePath) == 4);
static_assert(offsetof(DEVICE_INFO, layer) == 516);
static_assert(offsetof(DEVICE_INFO, devInst) == 536);
static_assert(offsetof(DEVICE_INFO, type) == 540);
static_assert(offsetof(DEVICE_INFO, driveLetter) == 544);
static_assert(offsetof(DEVICE_INFO, status) == 548);
static_assert(sizeof(DEVICE_INFO) == 552);
static_assert(sizeof(_CORV_VERSION) == 12);
static_assert(offsetof(_CORV_VERSION, systemLow) == 8);
static_assert(offsetof(_CORV_VERSION, systemHigh) == 10);
static_assert(sizeof(void*) != 8 || sizeof(SEARCH_RESULT) == 16);
static_assert(offsetof(ERROR_INFO, text) == 4);
static_assert(sizeof(ERROR_INFO) == 260);
static_assert(sizeof(void*) != 8 || sizeof(ERROR_LIST) == 16);

namespace cv50::api {

inline constexpr int kTableSize = 16;

}  // namespace cv50::api
