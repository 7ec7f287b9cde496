#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "scenario/ScenarioRunner.h"
#include "scenario/ScenarioScript.h"
#include "support/Dump.h"
#include "support/TempFolder.h"

namespace surfdeck::testing {

// A fresh program folder with the shipped templates, and a runner on it. Each run()
// feeds more script lines to the same program.
class Scenario {
  public:
    Scenario() : folder_(temp_.path()) {
        namespace fs = std::filesystem;
        for (const char* f : {"c1.h1", "g1.htm"}) {
            fs::copy_file(fs::path(SURFDECK_SOURCE_DIR) / "skin/files" / f, folder_ / f);
        }
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
        return parseDump(lastDump_);
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
        std::vector<std::string> out;
        for (const auto& d : dump()) {
            if (d.kind != "request") continue;
            std::string r;
            for (const auto& w : d.words) r += (r.empty() ? "" : " ") + w;
            out.push_back(r);
        }
        return out;
    }
    const std::string& lastDump() const { return lastDump_; }
    std::string out() const { return out_.str(); }
    std::string err() const { return err_.str(); }
    ScenarioRunner& runner() { return *runner_; }

  private:
    TempFolder temp_;  // declared first: the runner goes before its folder
    std::filesystem::path folder_;
    std::ostringstream out_, err_;
    std::unique_ptr<ScenarioRunner> runner_;
    std::string lastDump_;
};

}  // namespace surfdeck::testing
