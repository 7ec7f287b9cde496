// The foreground with Firefox on a desktop, as a user meets it: two browser windows and
// another program under a window manager, the input moved between them with real pointer
// clicks (xdotool). Firefox does not report losing the focus, and its own focus call does
// not get past the window manager; the window system tells and does both.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QJsonArray>
#include <QProcess>
#include <QTemporaryDir>

#include "FirefoxTestSupport.h"
#include "platform/extension/qt/ExtensionAutomation.h"
#include "support/ChromiumTestSupport.h"

namespace surfdeck::firefox::test {
namespace {

using chromium::test::waitFor;

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(5000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// The window the window manager has active now.
unsigned activeWindow() {
    return run("xdotool", {"getactivewindow"}).toUInt();
}

std::string geometry(unsigned window) {
    return run("xdotool", {"getwindowgeometry", QString::number(window)}).toStdString();
}

// A click into the window: in a browser window's page, on the other program's text
// (away from its button, which would end it).
void clickInto(unsigned window, bool browser = true) {
    run("xdotool", {"mousemove", "--window", QString::number(window), browser ? "200" : "300",
                    browser ? "250" : "40", "click", "1"});
}

class FirefoxForeground : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string why;
        const std::string program = firefoxProgram();
        if (program.empty()) GTEST_SKIP() << "no Firefox here";
        ASSERT_TRUE(ensureDisplay(&why)) << why;
        for (const char* tool : {"xdotool", "xmessage"})
            ASSERT_FALSE(run("sh", {"-c", QString("command -v ") + tool}).isEmpty()) << tool;
        server.page("/alpha.htm",
                    "<html><head><title>Alpha page</title></head><body>a</body></html>");
        server.page("/beta.htm",
                    "<html><head><title>Beta page</title></head><body>b</body></html>");
        setenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit().constData(), 1);
        extension::ExtensionSettings s;
        s.socketFolder = (runtime.path() + "/surfdeck").toStdString();
        s.fragmentsFolder = (runtime.path() + "/Fragments").toStdString();
        automation = std::make_unique<extension::ExtensionAutomation>(s, nullptr);
        ASSERT_TRUE(automation->listening());
        foreground = automation->foreground();
        list = automation->createShellWindows();
        ASSERT_TRUE(browser.start(program, SURFDECK_BIN_DIR, &why)) << why;
        ASSERT_TRUE(bidi.open(browser.bidiPort()));
        ASSERT_TRUE(waitFor([&] { return list->Count() >= 1; }, 30000));

        // The window the browser started with, and a second one.
        alphaContext = bidi.call("browsingContext.getTree", {})
                           .value("contexts")
                           .toArray()
                           .at(0)
                           .toObject()
                           .value("context")
                           .toString()
                           .toStdString();
        betaContext = bidi.create(true);
        bidi.navigate(alphaContext, server.url("/alpha.htm"));
        bidi.navigate(betaContext, server.url("/beta.htm"));
        ASSERT_TRUE(waitFor(
            [&] { return (alpha = handleAt("/alpha.htm")) && (beta = handleAt("/beta.htm")); },
            15000));
        alphaX = windowTitled("Alpha page");
        betaX = windowTitled("Beta page");
        ASSERT_NE(alphaX, 0u);
        ASSERT_NE(betaX, 0u);
        ASSERT_NE(alphaX, betaX);
        // Side by side, so that a click lands where it is aimed.
        place(alphaContext, 0);
        place(betaContext, 640);
        other.start("xmessage", {"-geometry", "400x200+300+600", "another program"});
        ASSERT_TRUE(other.waitForStarted(5000));
        ASSERT_TRUE(waitFor([&] { return (otherX = windowTitled("xmessage")) != 0; }, 10000));
    }

    void TearDown() override {
        if (other.state() != QProcess::NotRunning) {
            other.kill();
            other.waitForFinished(3000);
        }
    }

    // The browser window of the context, unmaximised, at x on the top edge.
    void place(const std::string& context, int x) {
        QString window;
        for (const auto& c : bidi.call("browsingContext.getTree", {}).value("contexts").toArray())
            if (c.toObject().value("context").toString().toStdString() == context)
                window = c.toObject().value("clientWindow").toString();
        bidi.call("browser.setClientWindowState", {{"clientWindow", window},
                                                   {"state", "normal"},
                                                   {"x", x},
                                                   {"y", 0},
                                                   {"width", 600},
                                                   {"height", 440}});
    }

    Hwnd handleAt(const std::string& path) {
        for (int i = 0; i < list->Count(); ++i) {
            auto w = list->Item(i);
            if (w->LocationURL() == server.url(path)) return w->HWND();
        }
        return 0;
    }
    unsigned windowTitled(const QString& title) {
        unsigned found = 0;
        waitFor(
            [&] {
                found = run("xdotool", {"search", "--onlyvisible", "--name", "^" + title})
                            .section('\n', 0, 0)
                            .toUInt();
                return found != 0;
            },
            10000);
        return found;
    }

    QTemporaryDir runtime;
    chromium::test::TestServer server;
    std::unique_ptr<extension::ExtensionAutomation> automation;
    std::shared_ptr<Foreground> foreground;
    std::shared_ptr<ShellWindows> list;
    TestFirefox browser;
    BiDi bidi;
    QProcess other;
    std::string alphaContext, betaContext;
    Hwnd alpha = 0, beta = 0;
    unsigned alphaX = 0, betaX = 0, otherX = 0;
};

TEST_F(FirefoxForeground, TheClickedWindowsTabIsInFrontAndAnotherProgramLeavesNone) {
    struct Case {
        const char* what;
        unsigned* window;
        Hwnd* expected;
    };
    Hwnd none = 0;
    const Case cases[] = {{"the first browser window", &alphaX, &alpha},
                          {"the second browser window", &betaX, &beta},
                          {"another program", &otherX, &none},
                          {"the first browser window again", &alphaX, &alpha}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        clickInto(*c.window, c.window != &otherX);
        ASSERT_TRUE(waitFor([&] { return activeWindow() == *c.window; }, 5000))
            << "active " << activeWindow() << ", clicked " << *c.window << "\n"
            << geometry(alphaX) << "\n"
            << geometry(betaX) << "\n"
            << geometry(otherX);
        EXPECT_TRUE(waitFor([&] { return foreground->foregroundWindow() == *c.expected; }, 5000))
            << "in front: " << foreground->foregroundWindow();
    }
}

TEST_F(FirefoxForeground, BringingATabForwardRaisesItsWindowPastAnotherProgram) {
    clickInto(otherX, false);
    ASSERT_TRUE(waitFor([&] { return activeWindow() == otherX; }, 5000));
    for (const auto& [tabOf, windowOf] : {std::pair{alpha, alphaX}, std::pair{beta, betaX}}) {
        // Copies: clang 14 cannot capture a structured binding in a lambda.
        const auto tab = tabOf;
        const auto window = windowOf;
        ASSERT_TRUE(foreground->setForegroundWindow(tab));
        EXPECT_TRUE(waitFor([&] { return activeWindow() == window; }, 5000))
            << "active: " << activeWindow() << ", wanted " << window;
        EXPECT_TRUE(waitFor([&] { return foreground->foregroundWindow() == tab; }, 5000));
    }
}

}  // namespace
}  // namespace surfdeck::firefox::test
