// surfdeck-sim: Surfdeck on a simulated desktop, driven by a script (see docs/scenarios.md).
//   surfdeck-sim [--folder DIR] [SCRIPT]
// The script comes from SCRIPT or standard input; the program folder is DIR or the
// current folder.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "scenario/ScenarioRunner.h"

int main(int argc, char** argv) {
    std::string folder = ".";
    std::string script;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--folder" && i + 1 < argc) {
            folder = argv[++i];
        } else if (arg == "--help" || arg == "-h") {
            std::cout << "usage: surfdeck-sim [--folder DIR] [SCRIPT]\n";
            return 0;
        } else if (script.empty() && arg.rfind("--", 0) != 0) {
            script = arg;
        } else {
            std::cerr << "surfdeck-sim: unexpected argument " << arg << "\n";
            return 2;
        }
    }
    namespace fs = std::filesystem;
    std::error_code ec;
    const std::string programFolder = fs::absolute(folder, ec).lexically_normal().string();
    if (!fs::is_directory(programFolder, ec)) {
        std::cerr << "surfdeck-sim: no folder " << folder << "\n";
        return 2;
    }
    std::string scriptFolder = fs::current_path(ec).string();
    std::ifstream file;
    if (!script.empty()) {
        file.open(script, std::ios::binary);
        if (!file) {
            std::cerr << "surfdeck-sim: cannot read " << script << "\n";
            return 2;
        }
        scriptFolder = fs::absolute(script, ec).parent_path().string();
    }
    std::string folderNoSlash = programFolder;
    while (folderNoSlash.size() > 1 && folderNoSlash.back() == '/') folderNoSlash.pop_back();
    surfdeck::ScenarioRunner runner(folderNoSlash, scriptFolder, std::cout, std::cerr);
    return runner.run(script.empty() ? std::cin : file);
}
