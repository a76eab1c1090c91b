// Image download and verification.
#include "engine/flash/image_download.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "cvusbcomm/cvusbcomm.h"
#include "engine/device/log.h"
#include "engine/os/os.h"

namespace cv50::flash {
namespace {

constexpr std::size_t kSector = 512;
constexpr std::size_t kTrailer = 32;

// The texts of one form of the operation. Formats take (layer, ...) in the Layer form and
// the same arguments without the layer in the plain form.
struct Messages {
    bool layered;
    bool testSeek;  // the plain form reports a failed seek to the start
    const char* openFailed;      // path, error
    const char* seekFailed;      // (plain form only)
    const char* readFailed;      // the image is empty
    const char* startWrite;
    const char* writeFailed;     // written, result
    const char* writeLength;     // read, written
    const char* writeOk;         // written
    const char* startCheck;
    const char* checkSeekFailed;
    const char* readFlashFailed;  // checked, result
    const char* compareFailed;    // checked
    const char* checkLength;      // read, checked
    const char* checkOk;          // checked
};

const Messages kPlain{false,
                      true,
                      "ERROR:Open image file failed,Path(%s),ErrCode(%d)",
                      "ERROR:Image file seek to begin position failed",
                      "ERROR:Read data from image failed",
                      "INFO:Start to write image to flash",
                      "ERROR:Write image to flash failed,written(%dB),ErrCode(%d)",
                      "ERROR:The length of data is wrong,Read(%dB),Written(%dB)",
                      "INFO:Write image to flash OK,Written(%dB)",
                      "INFO:Start to check image data",
                      "ERROR:Seek image to begin position",
                      "ERROR:Read image data from flash,checked(%dB),ErrCode(%d)",
                      "ERROR:Check data failed,checked(%dB)",
                      "ERROR:The length of data is wrong,Read(%dB),Checked(%dB)",
                      "INFO:Check image data OK,checked(%dB)"};

const Messages kLayered{true,
                        false,
                        "<Layer:%s> ERROR:Open Image file failed,Path:(%s),ErrCode(%d)",
                        "",
                        "<Layer:%s> ERROR:Read data from image failed",
                        "<Layer:%s> Begin to write image to flash",
                        "<Layer:%s> ERROR:write image to flash failed,Written(%dB),ErrCode(%d)",
                        "<Layer:%s> ERROR:Read data from image failed,Read(%dB),Written(%dB)",
                        "<Layer:%s> Write image data OK,Total(%dB)",
                        "<Layer:%s> Begin to check the data",
                        "",
                        "<Layer:%s> ERROR:Read data from flash failed,Checked(%dB),ErrCode(%d)",
                        "<Layer:%s> ERROR:check data failed,Checked(%dB)",
                        "<Layer:%s> ERROR:Read data from image failed,Read(%dB),Checked(%dB)",
                        "<Layer:%s> Check OK,Checked(%dB)"};

class Download {
public:
    Download(const Messages& m, std::string device, std::string layer,
             const ImageProgress& progress, ImageMismatch mismatch = {})
        : m_(m), device_(std::move(device)), layer_(std::move(layer)), progress_(progress),
          mismatch_(std::move(mismatch)), piece_(kImagePiece), readBack_(kImagePiece) {}

    int run(const std::string& imagePath) {
        if (progress_) total_ = bytesOnDisk(imagePath);
        os::UniqueFile image(os::current().openFile(imagePath, "rb"));
        if (!image) {
            const int error = static_cast<int>(os::current().lastError());
            if (m_.layered) Log(m_.openFailed, layer_.c_str(), imagePath.c_str(), error);
            else Log(m_.openFailed, imagePath.c_str(), error);
            return -1;
        }
        if (const int r = write(image.get()); r != 0) return r;
        return check(image.get());
    }

private:
    // Logs a message whose first argument is the Layer in the layered form.
    template <typename... Args>
    void say(const char* format, Args... args) {
        if (m_.layered) Log(format, layer_.c_str(), args...);
        else Log(format, args...);
    }

    std::size_t readPiece(std::FILE* f, std::vector<std::uint8_t>& buffer) {
        std::fill(buffer.begin(), buffer.end(), 0);
        return std::fread(buffer.data(), 1, buffer.size(), f);
    }

    // What a whole download writes and checks: the file without a last 32-byte piece.
    static std::uint64_t bytesOnDisk(const std::string& imagePath) {
        const auto size = os::current().fileSize(imagePath);
        if (!size) return 0;
        const bool tail = *size > kImagePiece && *size % kImagePiece == kTrailer;
        return tail ? *size - kTrailer : *size;
    }

    void report(ImagePhase phase, int done) {
        if (progress_) progress_(phase, static_cast<std::uint64_t>(done), total_);
    }

    static unsigned sectorsOf(std::size_t bytes) {
        return static_cast<unsigned>((bytes + kSector - 1) / kSector);
    }

    int write(std::FILE* f) {
        if (std::fseek(f, 0, SEEK_SET) != 0 && m_.testSeek) {
            say(m_.seekFailed);
            return -2;
        }
        std::size_t n = readPiece(f, piece_);
        if (n == 0) {
            say(m_.readFailed);
            return -3;
        }
        say(m_.startWrite);
        unsigned address = 0;
        int written = 0;
        for (;;) {
            const unsigned sectors = sectorsOf(n);
            const int r = CVU_WriteLBA(device_.c_str(), address, sectors, piece_.data());
            if (r != 0) {
                say(m_.writeFailed, written, r);
                return -4;
            }
            written += static_cast<int>(n);
            address += sectors;
            report(ImagePhase::Written, written);
            n = readPiece(f, piece_);
            if (n == 0) break;
            if (n % kSector != 0) {
                if (n == kTrailer) break;  // the check value: not part of the disk
                say(m_.writeLength, static_cast<int>(n), written);
                return -5;
            }
        }
        say(m_.writeOk, written);
        return 0;
    }

    int check(std::FILE* f) {
        say(m_.startCheck);
        if (std::fseek(f, 0, SEEK_SET) != 0 && m_.testSeek) {
            say(m_.checkSeekFailed);
            return -6;
        }
        std::fill(readBack_.begin(), readBack_.end(), 0);
        std::size_t n = readPiece(f, piece_);
        if (n == 0) {
            say(m_.readFailed);
            return -7;
        }
        unsigned address = 0;
        int checked = 0;
        for (;;) {
            const unsigned sectors = sectorsOf(n);
            const int r = CVU_ReadLBA(device_.c_str(), address, sectors, readBack_.data());
            if (r != 0) {
                say(m_.readFlashFailed, checked, r);
                return -8;
            }
            if (std::memcmp(piece_.data(), readBack_.data(), sectors * kSector) != 0) {
                if (mismatch_)
                    mismatch_(address, sectors, std::span(piece_.data(), sectors * kSector),
                              std::span(readBack_.data(), sectors * kSector),
                              static_cast<std::uint64_t>(checked));
                say(m_.compareFailed, checked);
                return -9;
            }
            checked += static_cast<int>(n);
            address += sectors;
            report(ImagePhase::Checked, checked);
            std::fill(readBack_.begin(), readBack_.end(), 0);
            n = readPiece(f, piece_);
            if (n == 0) break;
            if (n % kSector != 0) {
                if (n == kTrailer) break;
                say(m_.checkLength, static_cast<int>(n), checked);
                return -10;
            }
        }
        say(m_.checkOk, checked);
        return 0;
    }

    const Messages& m_;
    std::string device_;
    std::string layer_;
    const ImageProgress& progress_;
    const ImageMismatch mismatch_;
    std::uint64_t total_ = 0;
    std::vector<std::uint8_t> piece_;
    std::vector<std::uint8_t> readBack_;
};

}  // namespace

int DownloadImage(const std::string& devicePath, const std::string& imagePath,
                  const ImageProgress& progress, const ImageMismatch& mismatch) {
    return Download(kPlain, devicePath, "", progress, mismatch).run(imagePath);
}

int DownloadImageLayer(const std::string& devicePath, const std::string& layer,
                       const std::string& imagePath, const ImageProgress& progress) {
    return Download(kLayered, devicePath, layer, progress).run(imagePath);
}

}  // namespace cv50::flash
