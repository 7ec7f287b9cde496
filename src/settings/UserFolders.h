#pragma once
#include <string>

namespace surfdeck {

// Where the user's browsers keep their configuration. An empty home means unknown, and
// then nothing is written.
struct UserFolders {
    std::string home;
    // $XDG_CONFIG_HOME when set to an absolute path, else home + "/.config".
    std::string configHome;
};

}  // namespace surfdeck
