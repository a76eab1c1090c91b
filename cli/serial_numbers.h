// The serial numbers a run of cv50 upgrade gives its players: the next number of a pattern
// ("SN2026-{0001}": the digits in braces count up, as wide as written) or the next line of
// a file ("@FILE"). The next free one is kept in a state file and saved before a number is
// handed out, so a number is never given to two players, also across runs; a number whose
// player then fails is not given again either.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace cv50::cli {

class SerialNumbers {
public:
    // `source` is a pattern or "@FILE"; the state lives in `statePath`. Nothing, with the
    // reason in `problem`, when the source or the state cannot be used.
    static std::unique_ptr<SerialNumbers> open(const std::string& source,
                                               const std::string& statePath, std::string& problem);

    // The next number, already marked as given in the state file; nothing when none is
    // left or the state could not be saved. Any thread.
    std::optional<std::string> next();
    // Why the last next() gave nothing.
    std::string problem() const;

private:
    SerialNumbers() = default;
    bool save(std::uint64_t next, std::string& problem) const;

    std::string source_, statePath_;
    // A pattern: the text around the number, its width and first value.
    std::string prefix_, suffix_;
    std::size_t width_ = 0;
    // A file: its serial numbers in order.
    std::vector<std::string> lines_;
    bool fromFile_ = false;

    mutable std::mutex mutex_;
    std::uint64_t next_ = 0;  // the pattern's next number, or the file's next line index
    std::string problem_;
};

// The state file kept beside a report.
std::string serialStatePath(const std::string& reportPath);

}  // namespace cv50::cli
