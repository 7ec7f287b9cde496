#include "settings/Settings.h"

#include <chrono>
#include <filesystem>
#include <mutex>
#include <optional>

#include "base/SafeFile.h"
#include "settings/IniFile.h"
#include "settings/Log.h"

namespace surfdeck {

namespace {

// The profile reader hands back at most this many characters of a value (or default).
constexpr std::size_t kMaxValue = 248;

std::string cut(std::string text) {
    if (text.size() > kMaxValue) text.resize(kMaxValue);
    return text;
}

// How long a save waits for another copy of the program to finish its own.
constexpr std::chrono::seconds kLockWait{2};

std::string logBeside(const std::string& file) {
    return programFile(std::filesystem::path(file).parent_path().string(), "log.txt");
}

// An in-place write cut short between writing and cutting the file back leaves its pad,
// a last comment line of blanks (see files::replaceFile); the next write drops it.
void dropWriterPad(std::string& text) {
    if (text.size() < 2 || !text.ends_with('\n')) return;
    const std::size_t start = text.rfind('\n', text.size() - 2) + 1;  // npos + 1 is 0
    std::string_view last(text.data() + start, text.size() - start);
    if (last.ends_with("\r\n")) {
        last.remove_suffix(2);
    } else {
        last.remove_suffix(1);
    }
    if (!last.empty() && last.front() == ';' &&
        last.find_first_not_of(' ', 1) == std::string_view::npos)
        text.resize(start);
}

// Something that is not a settings file at all is worth a line in the log; an ordinary
// failure (no file yet, no permission) is not.
// Start-up reads a dozen keys in a row: the same line is not repeated back to back.
void logOddFile(const std::string& file, const char* what, files::Result result) {
    if (result != files::Result::NotRegular && result != files::Result::TooLarge) return;
    static std::mutex guard;
    static std::string last;
    const std::string line =
        std::string("Cannot ") + what + " " + file + ": " + files::describe(result);
    {
        const std::lock_guard<std::mutex> lock(guard);
        if (line == last) return;
        last = line;
    }
    WriteLog(logBeside(file), line);
}

}  // namespace

std::string programFile(const std::string& programFolder, const std::string& name) {
    if (!programFolder.empty() && programFolder.back() == '/') return programFolder + name;
    return programFolder + "/" + name;
}

std::string settingsPath(const std::string& programFolder) {
    return programFile(programFolder, "conf.ini");
}

std::string ReadIni(const std::string& section, const std::string& key, const std::string& def,
                    const std::string& file) {
    try {
        std::string text;
        const files::Result read = files::readRegular(file, text);
        if (read == files::Result::Ok) {
            if (std::optional<std::string> value = ini::get(text, section, key))
                return cut(std::move(*value));
        } else {
            logOddFile(file, "read", read);
        }
    } catch (...) {
        // Any failure reads as the default.
    }
    return cut(def);
}

void WriteIni(const std::string& section, const std::string& key, const std::string& value,
              const std::string& file) {
    try {
        // Another copy of the program may be saving at the same moment: without the lock
        // one of the two read-modify-writes would undo the other's key.
        const files::FileLock lock(file + ".lock", file, kLockWait);
        if (!lock.held()) {
            WriteLog(logBeside(file),
                     "Cannot lock " + file + ", not saved: [" + section + "] " + key);
            return;
        }
        std::string text;
        const files::Result read = files::readRegular(file, text);
        // A file that is there but cannot be read must not be replaced by a new one.
        if (read != files::Result::Ok && read != files::Result::Absent) {
            logOddFile(file, "read", read);
            return;
        }
        dropWriterPad(text);
        const std::optional<std::string> updated = ini::put(text, section, key, value);
        if (!updated || *updated == text) return;
        logOddFile(file, "write", files::replaceFile(file, *updated, ";"));
    } catch (...) {
        // A write that cannot happen is lost; the program goes on with its values.
    }
}

bool IniFlag(const std::string& text) {
    return text == "1";
}

void loadRecentAndGeneral(SettingsValues& values, const std::string& file) {
    const auto read = [&file](const std::string& section, const std::string& key,
                              const std::string& def) { return ReadIni(section, key, def, file); };
    const std::string recent = "Recent";
    values.RecentGroupAuthor = read(recent, "RecentGroupAuthor", "");
    values.RecentGroupGroup = read(recent, "RecentGroupGroup", "");
    values.RecentGroupMessageID = read(recent, "RecentGroupMessageID", "");
    values.RecentGroupSubject = read(recent, "RecentGroupSubject", "");
    values.RecentGroupText = read(recent, "RecentGroupText", "");
    values.RecentImageDomain = read(recent, "RecentImageDomain", "");
    values.RecentImageText = read(recent, "RecentImageText", "");
    values.RecentWebDomain = read(recent, "RecentWebDomain", "");
    values.RecentWebText = read(recent, "RecentWebText", "");
    values.RecentLengh = RoundHalfEven32(Val(read(recent, "RecentLengh", "")));
    values.RollUpDelay = RoundHalfEven32(Val(read("General", "RollUpDelay", "")));
    values.AlwaysOnTop = IniFlag(read("General", "AlwaysOnTop", "1"));
}

std::string readView(const std::string& file) {
    return ReadIni("MainWindow", "View", "h", file);
}

bool readRollUp(const std::string& file) {
    return IniFlag(ReadIni("MainWindow", "RollUp", "1", file));
}

bool isVertical(const std::string& view) {
    return view == "v";
}

}  // namespace surfdeck
