// Which of the window system's windows shows a browser window, for raising it.
#include <gtest/gtest.h>

#include "platform/extension/qt/ExtensionAutomation.h"

namespace surfdeck::extension::test {
namespace {

TEST(Raise, TheBrowserWindowIsFoundAmongTheWindowSystemsWindows) {
    using Info = X11ActiveWindow::Info;
    const std::string dash = " \xe2\x80\x94 Mozilla Firefox";
    const std::vector<Info> screen{
        {10, 100, "Page" + dash},     {11, 100, "Page two" + dash}, {12, 100, "Mail" + dash},
        {20, 200, "Page - Chromium"}, {30, 300, "Docs - Terminal"}, {0, 100, "Page" + dash},
    };
    struct Case {
        const char* what;
        long long pid;
        std::vector<std::string> titles;
        unsigned window;
    } cases[] = {
        {"the only window of its process, whatever its title", 200, {"Elsewhere"}, 20},
        {"the title it had before its tab changed", 100, {"New tab", "Mail"}, 12},
        {"a title followed by the browser's name beats a longer one it begins", 100, {"Page"}, 10},
        {"the longer title wins", 100, {"Page", "Page two"}, 11},
        {"no title of its windows: none", 100, {"Unknown"}, 0},
        {"empty titles match nothing", 100, {""}, 0},
        {"a process with no window of its own is found by title", 999, {"Docs"}, 30},
        {"nothing at all", 999, {"Nowhere"}, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pickBrowserXWindow(screen, c.pid, c.titles), c.window) << c.what;
    EXPECT_EQ(pickBrowserXWindow({}, 100, {"Page"}), 0u);
}

}  // namespace
}  // namespace surfdeck::extension::test
