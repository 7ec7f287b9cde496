#pragma once
#include <string>
#include <vector>

// Finding a browser the user already runs, so that Surfdeck never starts a second one
// over it. Reads the process table (/proc) only.
namespace surfdeck::chromium {

struct RunningBrowser {
    int pid = 0;
    std::string executable;  // what the process runs, as the process table names it
};

// True for the file names of Chromium-family browser executables (chromium, chrome,
// msedge, brave, vivaldi-bin, ...).
bool isChromiumFamilyBinary(const std::string& fileName);

// The main processes of Chromium-family browsers that this user runs without a DevTools
// endpoint: no --type= (a helper process), no --headless, neither
// --remote-debugging-port nor --remote-debugging-pipe. A process is such a browser when
// its executable is `executable` (links resolved) or has one of the family's file names.
// procRoot is the process table's folder.
std::vector<RunningBrowser> browsersWithoutDevTools(const std::string& executable,
                                                    const std::string& procRoot = "/proc");

}  // namespace surfdeck::chromium
