#pragma once
#include <string>

#include "forms/Form.h"
#include "ports/Clock.h"
#include "ports/Desktop.h"
#include "ports/EventLoop.h"
#include "ports/Timers.h"
#include "settings/Log.h"
#include "settings/Settings.h"
#include "settings/UserFolders.h"

namespace surfdeck {

// Everything that is process-wide in the program: its folder, the platform's ports, the
// forms' shared context and the settings values. One per run; tests make their own.
struct AppContext {
    AppContext(std::string folder, Desktop& desk, Timers& tim, EventLoop& ev, Clock& clk,
               forms::FormHost& host)
        : programFolder(std::move(folder)),
          desktop(desk),
          timers(tim),
          loop(ev),
          clock(clk),
          forms(host, tim) {}

    std::string iniPath() const { return settingsPath(programFolder); }
    std::string logPath() const { return programFile(programFolder, "log.txt"); }
    // One line to the program folder's log.txt.
    void log(const std::string& message) const { WriteLog(logPath(), message); }

    std::string programFolder;
    Desktop& desktop;
    Timers& timers;
    EventLoop& loop;
    Clock& clock;
    forms::FormContext forms;
    SettingsValues settings;
    // The user's folders, where start-up writes the browsers' pairing files; left empty
    // (nothing written there) unless the program runs on the real desktop.
    UserFolders user;
};

}  // namespace surfdeck
