// The one guard every export of CV50DLL runs its body in: an exception that would cross
// the library boundary (an allocation that failed, most likely) becomes the export's
// failure value and one log line instead of ending the host process.
#pragma once

#include <exception>
#include <type_traits>
#include <utility>

namespace cv50::api {

// Logs "ERROR:<export> failed,exception(<what>)"; never throws.
void LogEscapedException(const char* exportName, const char* what) noexcept;

template <typename R, typename Body>
R Guarded(const char* exportName, R failure, Body&& body) noexcept {
    try {
        return static_cast<R>(std::forward<Body>(body)());
    } catch (const std::exception& e) {
        LogEscapedException(exportName, e.what());
    } catch (...) {
        LogEscapedException(exportName, "unknown");
    }
    return failure;
}

// For exports that return nothing.
template <typename Body>
void Guarded(const char* exportName, Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (const std::exception& e) {
        LogEscapedException(exportName, e.what());
    } catch (...) {
        LogEscapedException(exportName, "unknown");
    }
}

}  // namespace cv50::api
