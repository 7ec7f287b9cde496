#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "scenario/ScenarioRunner.h"
#include "scenario/ScenarioScript.h"

namespace surfdeck::testing {

// One fact of a dump: "kind name key=value ...".
struct DumpLine {
    std::string kind;
    std::string name;
    std::multimap<std::string, std::string> values;
    std::string get(const std::string& key) const {
        auto it = values.find(key);
        return it == values.end() ? std::string("<absent>") : it->second;
    }
};

// A fresh program folder with the shipped templates, and a runner on it. Each run()
// feeds more script lines to the same program.
class Scenario {
  public:
    Scenario() {
        namespace fs = std::filesystem;
        static int counter = 0;
        folder_ = fs::temp_directory_path() / ("surfdeck-scenario-" + std::to_string(::getpid()) +
                                               "-" + std::to_string(++counter));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        for (const char* f : {"c1.h1", "g1.htm"}) {
            fs::copy_file(fs::path(SURFDECK_SOURCE_DIR) / "skin/files" / f, folder_ / f);
        }
    }
    ~Scenario() {
        runner_.reset();
        std::filesystem::remove_all(folder_);
    }
    Scenario(const Scenario&) = delete;
    Scenario& operator=(const Scenario&) = delete;

    std::string folder() const { return folder_.string(); }
    std::string path(const std::string& name) const { return (folder_ / name).string(); }

    // Writes a file into the program folder (conf.ini before start, say).
    void write(const std::string& name, const std::string& text) const {
        std::ofstream(folder_ / name, std::ios::binary) << text;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(folder_ / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // Runs script lines; returns the exit code. Output and errors collect in out()/err().
    int run(const std::string& script) {
        if (!runner_) runner_ = std::make_unique<ScenarioRunner>(folder(), folder(), out_, err_);
        std::istringstream in(script);
        return runner_->run(in);
    }
    // Runs the lines and expects them to succeed.
    void ok(const std::string& script) {
        const int rc = run(script);
        ASSERT_EQ(rc, 0) << err_.str();
    }

    // A dump of the state now, parsed.
    std::vector<DumpLine> dump() {
        std::ostringstream text;
        runner_->dump(text);
        lastDump_ = text.str();
        std::vector<DumpLine> lines;
        std::istringstream in(lastDump_);
        std::string line;
        while (std::getline(in, line)) {
            auto words = splitScriptLine(line);
            if (words.size() < 2) continue;
            DumpLine d{words[0], words[1], {}};
            for (std::size_t i = 2; i < words.size(); ++i) {
                auto eq = words[i].find('=');
                if (eq == std::string::npos) {
                    d.values.emplace(words[i], "");
                } else {
                    d.values.emplace(words[i].substr(0, eq), unescape(words[i].substr(eq + 1)));
                }
            }
            lines.push_back(std::move(d));
        }
        return lines;
    }
    // The first dump line of this kind and name; an empty line when absent.
    DumpLine fact(const std::string& kind, const std::string& name) {
        for (auto& d : dump()) {
            if (d.kind == kind && d.name == name) return d;
        }
        return DumpLine{};
    }
    // Every "request" line as "#N what [value]".
    std::vector<std::string> requests() {
        dump();
        std::vector<std::string> out;
        std::istringstream in(lastDump_);
        std::string line;
        while (std::getline(in, line)) {
            auto words = splitScriptLine(line);
            if (words.empty() || words[0] != "request") continue;
            std::string r;
            for (std::size_t i = 1; i < words.size(); ++i) r += (i > 1 ? " " : "") + words[i];
            out.push_back(r);
        }
        return out;
    }
    const std::string& lastDump() const { return lastDump_; }
    std::string out() const { return out_.str(); }
    std::string err() const { return err_.str(); }
    ScenarioRunner& runner() { return *runner_; }

  private:
    // Values were split already; only the \r \n \t escapes are left to undo.
    static std::string unescape(const std::string& v) {
        std::string out;
        for (std::size_t i = 0; i < v.size(); ++i) {
            if (v[i] == '\\' && i + 1 < v.size()) {
                char c = v[++i];
                out += c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c;
            } else {
                out += v[i];
            }
        }
        return out;
    }
    std::filesystem::path folder_;
    std::ostringstream out_, err_;
    std::unique_ptr<ScenarioRunner> runner_;
    std::string lastDump_;
};

}  // namespace surfdeck::testing
