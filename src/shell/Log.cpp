#include "shell/Log.h"

#include <cstdio>

namespace surfdeck {

void WriteLog(const std::string& path, const std::string& message) {
    try {
        const std::string line = message + "\r\n";
        std::FILE* file = std::fopen(path.c_str(), "ab");
        if (!file) return;
        // Unbuffered, so that the line goes out in one write and two copies of the
        // program appending to the same log never interleave inside a line.
        std::setvbuf(file, nullptr, _IONBF, 0);
        std::fwrite(line.data(), 1, line.size(), file);
        std::fclose(file);
    } catch (...) {
        // A log that cannot be written loses the line; the caller goes on.
    }
}

}  // namespace surfdeck
