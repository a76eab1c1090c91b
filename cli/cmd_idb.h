// cv50 idb: writing and erasing the ID Block of the loader device on one port.
#pragma once

#include <iosfwd>
#include <string>

namespace cv50::cli {

struct IdbWriteOptions {
    std::string layer;
    std::string loaderFile;
    bool forceErase = false;
    bool yes = false;  // answer OK to every question instead of asking on `in`
};

// Writes the ID Block from the pieces of the loader file: in full when the device has no
// copy yet, else as an update. Returns the exit status.
int runIdbWrite(const IdbWriteOptions& options, std::istream& in, std::ostream& out,
                std::ostream& err);
// Erases the ID Block copies and the reserved blocks.
int runIdbErase(const std::string& layer, std::ostream& out, std::ostream& err);

}  // namespace cv50::cli
