#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The text of a registry file in the registry editor's export format (REGEDIT4), read so
// that writing it again gives back every byte: a key's "[name]" line, then its values,
// one entry each. An entry this reader understands is a string value, "name"="data" or
// @="data" (the unnamed value) on one line, with \" and \\ inside the quotes. Every other
// line is kept as it is, in its key and its place: dword:, hex:, hex(2): values with their
// continuation lines (a line ending in "\" goes on with the next line when that starts
// with a blank), comments, blank lines and anything unreadable. Lines before the first key
// (the "REGEDIT4" line) are kept the same way.
namespace surfdeck::regfile {

struct Entry {
    std::string raw;                  // its lines exactly, with their line endings
    std::optional<std::string> name;  // the value's name, when the entry starts with one
    std::optional<std::string> data;  // the string data, when this reader understands it

    bool operator==(const Entry&) const = default;
};

struct Key {
    std::string raw;   // its "[name]" line
    std::string name;  // between the brackets
    std::vector<Entry> entries;

    bool operator==(const Key&) const = default;
};

struct Document {
    std::string head;  // everything before the first key
    std::vector<Key> keys;

    bool operator==(const Document&) const = default;
};

Document parse(std::string_view text);
// The file's text: format(parse(text)) == text for any text.
std::string format(const Document& doc);

// An empty registry file: just its "REGEDIT4" line.
Document empty();

// Key and value names are compared without regard to ASCII letter case; the first key of
// a name counts, and in it the first value of a name.
Key* findKey(Document& doc, std::string_view name);
const Key* findKey(const Document& doc, std::string_view name);

// True when the text can be written as a key name, value name or string data that reads
// back as it is: no line break and no NUL.
bool writable(std::string_view text);

// Adds the key at the end unless it is there. False (nothing changed) when its name is
// not writable.
bool addKey(Document& doc, std::string_view name);

// Sets the string value name of key (added when absent) to data. A value of that name
// keeps its place, whatever its type was (as the registry replaces a value's type and
// data); a new one goes after the key's last entry that is not a blank line. False
// (nothing changed) when a name or the data is not writable.
bool setString(Document& doc, std::string_view key, std::string_view name, std::string_view data);

// The string data of a value, when the key has a string value of that name.
std::optional<std::string> getString(const Document& doc, std::string_view key,
                                     std::string_view name);

}  // namespace surfdeck::regfile
