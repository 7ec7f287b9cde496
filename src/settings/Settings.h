#pragma once
#include <cstdint>
#include <string>

#include "base/Number.h"

// The settings file conf.ini, the rules by which its values are read, and the
// process-wide settings values. Every read asks the file and every write goes straight
// to it; nothing is cached.
namespace surfdeck {

// The program folder's file of that name: folder, one separator, name.
std::string programFile(const std::string& programFolder, const std::string& name);
// programFile(folder, "conf.ini").
std::string settingsPath(const std::string& programFolder);

// The value of key in section of file (names compared without regard to case), blanks
// around it removed, cut to 248 characters; def when the key is absent or the file
// cannot be read.
std::string ReadIni(const std::string& section, const std::string& key, const std::string& def,
                    const std::string& file);
// Writes one key: replaced in place, appended to its section, or a new section appended;
// the file is created by the first write. The read-modify-write holds a lock (file +
// ".lock") against other copies of the program, waiting at most 2 s for it; a save that
// cannot get it is dropped with a line in the log beside the file. Any other write that
// cannot happen is lost silently. Reads take no lock.
void WriteIni(const std::string& section, const std::string& key, const std::string& value,
              const std::string& file);

// A flag is on only when its text is exactly "1".
bool IniFlag(const std::string& text);

// The process-wide settings values, filled once at start-up.
struct SettingsValues {
    std::string RecentWebText, RecentWebDomain;
    std::string RecentImageText, RecentImageDomain;
    std::string RecentGroupText, RecentGroupGroup, RecentGroupSubject, RecentGroupAuthor,
        RecentGroupMessageID;
    std::int32_t RecentLengh = 0;
    std::int32_t RollUpDelay = 0;
    bool AlwaysOnTop = true;
    bool RollUp = true;
    std::string View = "h";
};

// The settings side of start-up, in its reading order: the nine recent lists,
// RecentLengh, RollUpDelay and AlwaysOnTop. (View and RollUp are read later in start-up,
// after the main window exists: readView and readRollUp.)
void loadRecentAndGeneral(SettingsValues& values, const std::string& file);
std::string readView(const std::string& file);
bool readRollUp(const std::string& file);

// True when View reads as the vertical layout (exactly "v").
bool isVertical(const std::string& view);

}  // namespace surfdeck
