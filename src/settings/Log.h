#pragma once
#include <string>

namespace surfdeck {

// Appends message and CR LF to the log file at path, opening and closing the file around
// the one message, and only when it is a regular file (or absent). Never throws and never
// stops its caller: a log that cannot be written loses the line.
void WriteLog(const std::string& path, const std::string& message);

}  // namespace surfdeck
