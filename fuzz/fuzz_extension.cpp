// Fuzzes what a browser may send: the byte stream of two connections, split at arbitrary
// points, through the frame decoder, the JSON reader and the hub's message handling, with
// a receiver that uses every tab it is told about (its calls time out at once). Besides not
// crashing: handles stay unique and the list only names open tabs.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <set>

#include "platform/extension/ExtensionHub.h"
#include "platform/extension/ExtensionShellWindows.h"
#include "platform/extension/ExtensionTab.h"

namespace {

using namespace surfdeck;
using namespace surfdeck::extension;

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

struct Host : HubHost {
    std::set<PeerId> dropped;
    std::size_t sent = 0;
    void sendFrame(PeerId, const std::string& frame) override {
        check(frame.size() <= wire::kMaxToBrowser + 4, "frame over the cap sent");
        sent += frame.size();
    }
    void dropPeer(PeerId peer) override { dropped.insert(peer); }
    void postDrain() override {}
    bool waitFor(const std::function<bool()>& done, int) override { return done(); }
    void log(const std::string& line) override {
        check(line.find('\n') == std::string::npos, "log line with a line break");
    }
};

// Uses every tab as the core does: attaches, probes forward, reads its address.
struct Receiver : ShellWindowsEvents, BrowserEvents {
    std::shared_ptr<ShellWindows> list;
    std::vector<std::shared_ptr<BrowserWindow>> held;
    void WindowRegistered(std::int32_t) override { walk(); }
    void WindowRevoked(std::int32_t) override { walk(); }
    void walk() {
        for (auto& w : held) try {
                w->unadvise(1);
            } catch (const AutomationError&) {
            }
        held.clear();
        std::set<Hwnd> handles;
        for (int i = 0; i < list->Count(); ++i) {
            auto w = list->Item(i);
            check(handles.insert(w->HWND()).second, "two tabs with one handle");
            w->advise(this);
            (void)w->LocationURL();
            try {
                w->GoForward();
                w->ExecWB(OLECMDID_STOPDOWNLOAD, OLECMDEXECOPT_DONTPROMPTUSER);
            } catch (const AutomationError&) {
            }
            held.push_back(w);
        }
    }
    void BeforeNavigate2(BeforeNavigateArgs& args) override { args.cancel = args.url.size() & 1; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    Host host;
    HubOptions options;
    options.callTimeoutMs = 0;
    auto hub = std::make_shared<ExtensionHub>(host, options);
    Receiver receiver;
    receiver.list = ExtensionShellWindows::create(hub);
    receiver.list->advise(&receiver);
    hub->connected(1);
    hub->connected(2);
    // The first connection says hello properly, so that the rest reaches the handling.
    const std::string hello = wire::encodeFrame(R"({"type":"hello","browserPid":7})");
    hub->received(1, hello.data(), hello.size());
    while (in.remaining_bytes() > 0) {
        const PeerId peer = in.ConsumeBool() ? 1 : 2;
        const std::string chunk = in.ConsumeRandomLengthString(4096);
        hub->received(peer, chunk.data(), chunk.size());
        hub->drain();
        if (host.dropped.count(peer)) check(hub->peerCount() < 2, "dropped peer kept");
    }
    for (const auto& tab : hub->tabs()) check(!tab->closed(), "a closed tab listed");
    hub->disconnected(1);
    hub->disconnected(2);
    hub->drain();
    check(receiver.list->Count() == 0, "tabs left after both browsers went");
    return 0;
}
