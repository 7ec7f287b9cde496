#pragma once
#include <optional>
#include <string>
#include <string_view>

// A small profile (INI) file reader and writer. It works on the file's bytes as they
// are: lines end in LF or CR LF, a UTF-8 byte-order mark before the first line is
// skipped, any other byte (8-bit text, NUL, garbage) is just part of a line.
//
//   [Section]          a section header: the name up to "]" (or the end of the line)
//   key = value        a key line: the key before the first "=", the value after it,
//                      blanks (spaces and tabs) around both removed
//   ; comment          skipped, as are blank lines and lines with no "="
//
// Names are compared without regard to ASCII letter case. Only the first section of a
// name counts, and within it the first key of a name, both for reading and writing, so a
// write is always read back. Keys before the first section belong to no section.
namespace surfdeck::ini {

// The value of key in section of text, or nothing when the section or the key is absent.
std::optional<std::string> get(std::string_view text, std::string_view section,
                               std::string_view key);

// text with key set to value: an existing key line keeps its place and everything up to
// its "=", a new key goes after the last key line of its section, a new section goes at
// the end. Every other line stays byte for byte. Nothing when the names cannot be
// written without changing the file's structure (empty, a line break, "=" in a key, "]"
// in a section, a key starting with "[" or ";"). Line breaks and NULs in the value
// become blanks, so that one key stays one line.
std::optional<std::string> put(std::string_view text, std::string_view section,
                               std::string_view key, std::string_view value);

// The whole file, when it is a regular file that can be read (see files::readRegular).
std::optional<std::string> readFile(const std::string& path);

// files::replaceFile with the profile file's comment mark: the file is always either the
// old or the new one (an in-place write may leave the new one followed by a comment line
// of blanks). False when nothing was written.
bool replaceFile(const std::string& path, const std::string& content);

}  // namespace surfdeck::ini
