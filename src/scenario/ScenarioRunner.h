#pragma once
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "platform/file/FileRegistry.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimFormHost.h"
#include "platform/sim/SimShell.h"
#include "platform/sim/SimWeb.h"
#include "scenario/ScenarioScript.h"

namespace surfdeck {

struct AppContext;
class Program;

namespace forms {
class Form;
class Control;
}  // namespace forms

// Runs the whole program on the simulated platform, driven by a script: a desktop,
// browser windows and a web that answer as scripted, virtual time, and a dump of
// everything a user could see. Files (conf.ini, log.txt, registry.reg, context1.htm)
// are written in the program folder as the real program writes them.
class ScenarioRunner {
  public:
    ScenarioRunner(std::string programFolder, std::string scriptFolder, std::ostream& out,
                   std::ostream& err);
    ~ScenarioRunner();

    // Runs every command; 0 when the script ran to its end or the program ended, 1 when
    // a command failed (one error line on err).
    int run(std::istream& script);
    // One command line; false (after writing the error) when it failed.
    bool execute(const std::vector<std::string>& words);
    bool programEnded() const;

    SimDesktop& desktop() { return desktop_; }
    SimAutomation& automation() { return automation_; }
    Program* program() { return program_.get(); }
    void dump(std::ostream& out);

  private:
    // A script command: its name, how many words follow it, its usage line, whether it
    // needs the program started, and its handler.
    struct Command {
        const char* name;
        std::size_t words;
        const char* usage;
        bool needsProgram;
        void (ScenarioRunner::*run)(const std::vector<std::string>& w);
    };
    static const Command* findCommand(const std::string& name);

    // The commands' handlers; w[0] is the command's name.
    void screenCommand(const std::vector<std::string>& w);
    void pageCommand(const std::vector<std::string>& w);
    void startCommand(const std::vector<std::string>& w);
    void openCommand(const std::vector<std::string>& w);
    void frontCommand(const std::vector<std::string>& w);
    void closeCommand(const std::vector<std::string>& w);
    void navigateCommand(const std::vector<std::string>& w);
    void linkCommand(const std::vector<std::string>& w);
    void historyCommand(const std::vector<std::string>& w);
    void documentCommand(const std::vector<std::string>& w);
    void pointerCommand(const std::vector<std::string>& w);
    void keyCommand(const std::vector<std::string>& w);
    void waitCommand(const std::vector<std::string>& w);
    void clickCommand(const std::vector<std::string>& w);
    void buttonCommand(const std::vector<std::string>& w);
    void moveCommand(const std::vector<std::string>& w);
    void typeCommand(const std::vector<std::string>& w);
    void tickCommand(const std::vector<std::string>& w);
    void chooseCommand(const std::vector<std::string>& w);
    void dumpCommand(const std::vector<std::string>& w);

    struct Failure {
        std::string message;
    };
    [[noreturn]] static void fail(const std::string& message);
    void start();
    void pump();
    void wait(long long ms);
    forms::Form& form(const std::string& name);
    forms::Control& control(const std::string& target, std::string* suffix = nullptr);
    int windowNumber(const std::string& word);
    int parseInt(const std::string& word, const std::string& what);
    int buttons(const std::string& word, bool allowNone);
    int shiftState();
    void inProgram(const std::function<void()>& action);
    void dumpForm(std::ostream& out, forms::Form& f);
    std::string windowLabel(Hwnd handle);

    std::string folder_;
    std::string scriptFolder_;
    std::ostream& out_;
    std::ostream& err_;
    SimDesktop desktop_;
    SimClock clock_;
    SimTimers timers_{clock_};
    SimEventLoop loop_;
    SimWeb web_;
    SimAutomation automation_{desktop_, loop_, web_};
    SimFormHost host_{desktop_};
    FileRegistry registry_;
    std::unique_ptr<AppContext> app_;
    std::unique_ptr<Program> program_;
    bool started_ = false;
};

}  // namespace surfdeck
