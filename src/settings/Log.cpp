#include "settings/Log.h"

#include "base/SafeFile.h"

namespace surfdeck {

void WriteLog(const std::string& path, const std::string& message) {
    try {
        // One write, so that two copies of the program appending to the same log never
        // interleave inside a line; only ever onto a regular file, so that a pipe in its
        // place cannot hold the program up.
        (void)files::appendRegular(path, message + "\r\n");
    } catch (...) {
        // A log that cannot be written loses the line; the caller goes on.
    }
}

}  // namespace surfdeck
