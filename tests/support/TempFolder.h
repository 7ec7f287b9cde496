#pragma once
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>

namespace surfdeck::testing {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "surfdeck-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        // Give back the write bits that a test took away, so that everything can go.
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs work in a child process with the folder closed to new files while file, in it, stays
// writable: as an ordinary user when the test runs as root, which folder permissions do
// not stop. Gives the child's exit code, work's answer; 2 or 3 when the folder could not be
// closed to it, and -1 when no child ran or it did not exit.
inline int inClosedFolder(const TempFolder& folder, const std::string& file,
                          const std::function<int()>& work) {
    constexpr uid_t nobody = 65534;
    const bool root = geteuid() == 0;
    if (root && (chown(folder.path().c_str(), nobody, nobody) != 0 ||
                 chown(file.c_str(), nobody, nobody) != 0))
        return -1;
    if (chmod(folder.path().c_str(), 0555) != 0) return -1;
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (root && (setgid(nobody) != 0 || setuid(nobody) != 0)) _exit(2);
        // The folder must really refuse, or the test would prove nothing.
        if (access(folder.path().c_str(), W_OK) == 0) _exit(3);
        _exit(work());
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

}  // namespace surfdeck::testing
