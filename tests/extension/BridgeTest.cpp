// The real surfdeck-bridge between a fake browser on its standard streams and the backend.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "ExtensionTestSupport.h"

namespace surfdeck::extension::test {
namespace {

// The bridge as the browser starts it, and the browser's ends of its streams.
class BridgeProcess {
  public:
    explicit BridgeProcess(const std::string& exe = SURFDECK_BIN_DIR "/surfdeck-bridge") {
        int in[2], out[2], err[2];
        if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC)) std::abort();
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            dup2(err[1], 2);
            execl(exe.c_str(), exe.c_str(), "chrome-extension://test/", nullptr);
            _exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        ::close(err[1]);
        err_ = err[0];
        fcntl(err_, F_SETFL, O_NONBLOCK);
        browser = std::make_unique<FakePeer>(out[0], in[1]);
    }
    ~BridgeProcess() {
        browser.reset();
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        ::close(err_);
    }
    // The exit status once the bridge has ended; -1 while it runs.
    int exitCode() {
        if (pid_ <= 0) return code_;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) != pid_) return -1;
        pid_ = 0;
        code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return code_;
    }
    void kill9() { kill(pid_, SIGKILL); }
    // How often the bridge has gone to sleep and woken up again.
    long wakeUps() const {
        std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0) return std::stol(line.substr(24));
        return -1;
    }
    // What the bridge wrote to its error stream so far.
    const std::string& errors() {
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(err_, buffer, sizeof buffer)) > 0) errors_.append(buffer, size_t(n));
        return errors_;
    }
    std::unique_ptr<FakePeer> browser;

  private:
    pid_t pid_ = -1;
    int err_ = -1;
    int code_ = -1;
    std::string errors_;
};

class Bridge : public ::testing::Test {
  protected:
    Scratch scratch;
    std::unique_ptr<Backend> backend = std::make_unique<Backend>(scratch);
    std::shared_ptr<ShellWindows> list() { return backend->automation->createShellWindows(); }
    Json twoTabs = state({window(1, {tab(10, 1, 0, "http://a/"), tab(11, 1, 1, "http://b/")})});

    // A browser that answers every resync with its state.
    std::unique_ptr<BridgeProcess> start() {
        auto bridge = std::make_unique<BridgeProcess>();
        bridge->browser->onMessage = [b = bridge->browser.get(), this](const Json& m) {
            if (wire::messageType(m) == "resync") b->send(twoTabs);
        };
        bridge->browser->hello();
        return bridge;
    }
};

TEST_F(Bridge, RelaysBothWaysWithTheProcessIdsInTheHello) {
    auto bridge = start();
    ASSERT_TRUE(waitUntil([&] { return list()->Count() == 2; }));
    EXPECT_EQ(bridge->browser->count("resync"), 1);
    ASSERT_TRUE(waitUntil([&] { return bridge->browser->count("settings") == 1; }));
    const auto browsers = backend->automation->hub().browsers();
    ASSERT_EQ(browsers.size(), 1u);
    EXPECT_EQ(browsers[0].pid, getpid()) << "the bridge's parent is the browser";
    // Every tab is offered for matching the window system's title, not the active one only.
    ASSERT_EQ(browsers[0].windows.size(), 1u);
    EXPECT_EQ(browsers[0].windows[0].tabs.size(), 2u);

    bridge->browser->respond = [](const Json& call) -> std::optional<Json> {
        return Json{{"html", "<body>" + call["method"].get<std::string>() + "</body>"}};
    };
    EXPECT_EQ(list()->Item(1)->Document()->bodyOuterHTML(), "<body>getBody</body>");
    const Json* call = bridge->browser->last("call");
    ASSERT_TRUE(call);
    EXPECT_EQ((*call)["tabId"], 11);
}

TEST_F(Bridge, ReconnectsToARestartedSurfdeckAndReplaysTheHello) {
    auto bridge = start();
    ASSERT_TRUE(waitUntil([&] { return list()->Count() == 2; }));
    backend.reset();
    backend = std::make_unique<Backend>(scratch);
    ASSERT_TRUE(backend->automation->listening());
    ASSERT_TRUE(waitUntil([&] { return list()->Count() == 2; })) << "hello, resync, state";
    EXPECT_EQ(bridge->browser->count("resync"), 2);
    EXPECT_EQ(backend->automation->hub().browsers().size(), 1u);
}

TEST_F(Bridge, FindsASurfdeckStartedLongAfterItWithoutPollingForIt) {
    backend.reset();
    auto bridge = start();
    // Past the quick attempts after its start: from here on the bridge sleeps until the
    // socket folder changes, and only then looks, at once.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    const long before = bridge->wakeUps();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_LE(bridge->wakeUps() - before, 1) << "it keeps trying while no Surfdeck is there";
    backend = std::make_unique<Backend>(scratch);
    ASSERT_TRUE(backend->automation->listening());
    EXPECT_TRUE(waitUntil([&] { return list()->Count() == 2; }, 3000));
}

TEST_F(Bridge, KilledInTheMiddleOfAMessageLeavesNoTabBehind) {
    auto bridge = start();
    ASSERT_TRUE(waitUntil([&] { return list()->Count() == 2; }));
    bridge->browser->sendRaw(std::string("\x00\x10\x00\x00", 4) + "{\"type\":\"tab\"");
    bridge->kill9();
    ASSERT_TRUE(waitUntil([&] { return list()->Count() == 0; }));
    // Half a message straight on the socket, then gone: the same.
    {
        FakePeer half(backend->automation->socketPath());
        half.hello();
        half.send(twoTabs);
        ASSERT_TRUE(waitUntil([&] { return list()->Count() == 2; }));
        half.sendRaw(std::string("\x00\x10\x00\x00", 4) + "{\"ty");
    }
    ASSERT_TRUE(waitUntil([&] { return list()->Count() == 0; }));
    auto again = start();
    ASSERT_TRUE(waitUntil([&] { return list()->Count() == 2; }));
}

TEST_F(Bridge, MalformedMessagesAreLoggedAndAHugeOneEndsTheBridge) {
    auto bridge = start();
    ASSERT_TRUE(waitUntil([&] { return list()->Count() == 2; }));
    bridge->browser->sendRaw(wire::encodeFrame("{oops"));
    bridge->browser->sendRaw(wire::encodeFrame("\"just a string\""));
    bridge->browser->send({{"type", "tabRemoved"}, {"tabId", 11}, {"windowId", 1}});
    ASSERT_TRUE(waitUntil([&] { return list()->Count() == 1; })) << "still relaying";
    EXPECT_THAT(
        bridge->errors(),
        ::testing::HasSubstr("surfdeck-bridge: message from the browser dropped: not JSON\n"));
    EXPECT_THAT(bridge->errors(), ::testing::HasSubstr("dropped: not a JSON object\n"));
    bridge->browser->sendRaw(std::string("\x01\x00\x80\x00", 4));  // 8 MiB and one byte
    ASSERT_TRUE(waitUntil([&] { return bridge->exitCode() >= 0; }));
    EXPECT_EQ(bridge->exitCode(), 1);
    EXPECT_THAT(bridge->errors(), ::testing::HasSubstr("8388609 bytes is over the limit"));
    ASSERT_TRUE(waitUntil([&] { return list()->Count() == 0; }));
}

TEST_F(Bridge, EndsWhenTheBrowserLetsGo) {
    auto bridge = start();
    ASSERT_TRUE(waitUntil([&] { return list()->Count() == 2; }));
    bridge->browser->close();
    ASSERT_TRUE(waitUntil([&] { return bridge->exitCode() >= 0; }));
    EXPECT_EQ(bridge->exitCode(), 0);
    EXPECT_EQ(bridge->errors(), "");
}

TEST(BridgeLaunch, TheToolbarButtonStartsSurfdeckFromTheBridgesFolder) {
    Scratch scratch;  // nothing listens
    const auto bin = scratch.dir / "bin";
    std::filesystem::create_directories(bin);
    std::filesystem::copy_file(SURFDECK_BIN_DIR "/surfdeck-bridge", bin / "surfdeck-bridge");
    {
        std::ofstream script(bin / "surfdeck");
        script << "#!/bin/sh\n[ -t 1 ] || echo started > \"$(dirname \"$0\")/marker\"\n";
    }
    std::filesystem::permissions(bin / "surfdeck", std::filesystem::perms::owner_all);
    BridgeProcess bridge((bin / "surfdeck-bridge").string());
    bridge.browser->hello();
    bridge.browser->send({{"type", "launch"}});
    // The bridge's line may come after the started program's marker.
    const std::string started = "started " + (bin / "surfdeck").string();
    ASSERT_TRUE(waitUntil([&] {
        return std::filesystem::exists(bin / "marker") &&
               bridge.errors().find(started) != std::string::npos;
    })) << bridge.errors();
    EXPECT_EQ(bridge.exitCode(), -1) << "the bridge goes on, waiting for Surfdeck";
}

}  // namespace
}  // namespace surfdeck::extension::test
