// Fuzzes the settings file reader and writer with arbitrary file bytes, names and values.
// Besides not crashing, a write must read back and must keep every other line of the
// file byte for byte.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "settings/IniFile.h"
#include "settings/Settings.h"

namespace {

using namespace surfdeck;

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

// Lines with their endings.
std::vector<std::string_view> lines(std::string_view text) {
    std::vector<std::string_view> out;
    while (!text.empty()) {
        const std::size_t lf = text.find('\n');
        const std::size_t n = lf == std::string_view::npos ? text.size() : lf + 1;
        out.push_back(text.substr(0, n));
        text.remove_prefix(n);
    }
    return out;
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// after is before with one line replaced, or with one or two lines inserted (a last line
// without an ending may have gained one).
void checkOtherLinesKept(std::string_view before, std::string_view after) {
    const auto a = lines(before);
    const auto b = lines(after);
    if (a.size() == b.size()) {
        int changed = 0;
        for (std::size_t i = 0; i < a.size(); ++i) changed += a[i] != b[i];
        check(changed <= 1, "more than one line changed");
        return;
    }
    check(b.size() > a.size() && b.size() - a.size() <= 2, "wrong number of lines added");
    const std::size_t added = b.size() - a.size();
    std::size_t d = 0;
    while (d < a.size() && a[d] == b[d]) ++d;
    bool tailKept = true;
    for (std::size_t i = d; i < a.size(); ++i) tailKept = tailKept && a[i] == b[i + added];
    const bool endingAdded = d + 1 == a.size() && a[d].back() != '\n' &&
                             b[d].substr(0, a[d].size()) == a[d] && b[d].back() == '\n' &&
                             b[d].size() - a[d].size() <= 2;
    check(tailKept || endingAdded, "a line other than the written one changed");
}

// Names are taken from the file itself now and then, so that replacing is reached: the
// pick-th bracketed name, and the name before the first "=" on a line after it.
struct Names {
    std::string section, key;
};
Names namesFromText(const std::string& text, unsigned pick) {
    Names names;
    std::size_t at = 0;
    for (unsigned n = 0; n <= pick % 4; ++n) {
        const std::size_t open = text.find('[', at);
        if (open == std::string::npos) break;
        const std::size_t close = text.find_first_of("]\n", open + 1);
        if (close == std::string::npos) break;
        names.section = text.substr(open + 1, close - open - 1);
        at = close + 1;
    }
    const std::size_t lineStart = text.find('\n', at);
    if (lineStart != std::string::npos) {
        const std::size_t equals = text.find('=', lineStart);
        if (equals != std::string::npos) {
            const std::size_t from = text.rfind('\n', equals) + 1;
            names.key = text.substr(from, equals - from);
        }
    }
    return names;
}

// A folder of its own for the file, removed when the fuzzer exits.
struct ScratchFolder {
    std::string folder;
    ScratchFolder() {
        folder = (std::filesystem::temp_directory_path() / "fuzz-ini-XXXXXX").string();
        if (!mkdtemp(folder.data())) std::abort();
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
};

const std::string& scratchFile() {
    static const ScratchFolder scratch;
    static const std::string path = settingsPath(scratch.folder);
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Layout: file bytes, then the value, then its length, then a byte that picks the names.
    FuzzedDataProvider in(data, size);
    const auto mode = in.ConsumeIntegral<std::uint8_t>();
    const auto valueSize = in.ConsumeIntegral<std::uint8_t>();
    std::string all = in.ConsumeRemainingBytesAsString();
    const std::size_t split = all.size() - std::min<std::size_t>(valueSize, all.size());
    const std::string value = all.substr(split);
    std::string text = all.substr(0, split);
    static const Names kNames[] = {
        {"S", "k"},      {"MainWindow", "top"}, {" mainwindow\t", "TOP "},
        {"Recent", "x"}, {"s]", "k"},           {"S", "a=b"},
        {"S", "[k"},     {"S", ";k"},           {"", "k"},
        {"S", ""},       {"\xFF\xEF", "\x80"},  {"S\n", "k"},
        {"S", "k\r"},    {"[S", "k"},           {"=", "]"},
    };
    std::string section, key;
    if (mode & 1) {
        Names names = namesFromText(text, mode >> 1);
        section = std::move(names.section);
        key = std::move(names.key);
    } else {
        section = kNames[(mode >> 1) % std::size(kNames)].section;
        key = kNames[(mode >> 1) % std::size(kNames)].key;
        // Plant the key somewhere in the garbage, so that replacing and appending to an
        // existing section are reached as often as creating one.
        if (mode & 0x80) {
            // The planted line is the key itself or another key; it may end the file
            // with no line ending.
            const std::string planted = (mode & 0x40 ? key : std::string("other")) + "=old";
            const bool atEnd = valueSize & 1;
            const std::size_t at =
                atEnd ? text.size() : valueSize * 2654435761u % (text.size() + 1);
            text.insert(at, "\n[" + section + "]\n" + planted + (atEnd ? "" : "\n"));
        }
    }

    (void)ini::get(text, section, key);
    if (const auto updated = ini::put(text, section, key, value)) {
        std::string clean = value;
        for (char& c : clean)
            if (c == '\r' || c == '\n' || c == '\0') c = ' ';
        const auto back = ini::get(*updated, section, key);
        check(back.has_value() && *back == trimBlanks(clean), "written value does not read back");
        checkOtherLinesKept(text, *updated);
    }

    // The same through the file, as the program does it.
    const std::string& file = scratchFile();
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    const std::string before = ReadIni(section, key, "default", file);
    check(before.size() <= 248, "read longer than 248");
    WriteIni(section, key, value, file);
    const std::string after = ReadIni(section, key, "default", file);
    check(after.size() <= 248, "read longer than 248");

    // The value rules take any text.
    const double number = Val(value);
    (void)RoundHalfEven32(number);
    (void)RoundHalfEven16(number);
    check(Val(FormatNumber(number)) == number || number != number, "number does not read back");
    return 0;
}
