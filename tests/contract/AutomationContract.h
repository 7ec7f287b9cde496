// What the program relies on from every Automation backend, one test per behaviour. A
// backend joins by giving a fixture class with:
//
//   static constexpr BackendTraits traits;        where its browser differs, see BackendTraits.h
//   Automation& automation();  Foreground& foreground();
//   Desktop& desktop();  EventLoop& loop();  Clock& clock();   for the program's own tracking
//   bool waitFor(std::function<bool()> pred);      runs events until pred holds or time is up
//   std::string page(char name);                   address of page 'a'..'d' ("Page A" in its body)
//   Hwnd open(const std::string& url);             a new window showing url, loaded and listed
//   void navigateByUser(Hwnd, url);  void navigateByPage(Hwnd, url);
//   void close(Hwnd);  void bringToFront(Hwnd);    as the user would
//   void press(Hwnd, bool right);                  a mouse click in the page
//   std::optional<bool> menuShown();               whether the last right click showed the menu
//   std::pair<int, int> margins(Hwnd);             the page's left and top margin as shown
//
// and instantiating the suite: INSTANTIATE_TYPED_TEST_SUITE_P(Name, AutomationContract, Fixture).
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "browser/IE_Class.h"
#include "browser/TrackingContext.h"
#include "browser/cIEWindows.h"
#include "ports/Automation.h"
#include "ports/BackendTraits.h"
#include "ports/Desktop.h"

namespace surfdeck::contract {

// A window's events as lines: "before <url>", "navigated <url>", "complete <url>" (with
// "frame " first when pDisp is not the window), "download", "downloaded"; the last
// reported back and forward state (-1 before any report).
struct Events : BrowserEvents {
    explicit Events(Dispatch* window) : top(window) {}
    void BeforeNavigate2(BeforeNavigateArgs& a) override {
        lines.push_back(at(a.pDisp) + "before " + a.url);
        if (cancel) a.cancel = true;
    }
    void NavigateComplete2(Dispatch* p, const std::string& url) override {
        lines.push_back(at(p) + "navigated " + url);
    }
    void DocumentComplete(Dispatch* p, const std::string& url) override {
        lines.push_back(at(p) + "complete " + url);
    }
    void DownloadBegin() override { lines.push_back("download"); }
    void DownloadComplete() override { lines.push_back("downloaded"); }
    void CommandStateChange(std::int32_t command, bool enable) override {
        if (command == CSC_NAVIGATEBACK) back = enable;
        if (command == CSC_NAVIGATEFORWARD) forward = enable;
    }
    std::string at(Dispatch* p) const { return p == top ? "" : "frame "; }
    // Position of the first line equal to line; -1 when absent.
    int index(const std::string& line) const {
        auto it = std::find(lines.begin(), lines.end(), line);
        return it == lines.end() ? -1 : static_cast<int>(it - lines.begin());
    }
    bool has(const std::string& line) const { return index(line) >= 0; }
    std::string dump() const {
        std::string out;
        for (const auto& l : lines) out += "\n  " + l;
        return out + "\n  back " + std::to_string(back) + " forward " + std::to_string(forward);
    }

    Dispatch* top;
    bool cancel = false;
    std::vector<std::string> lines;
    int back = -1;
    int forward = -1;
};

struct ListEvents : ShellWindowsEvents {
    void WindowRegistered(std::int32_t) override { ++registered; }
    void WindowRevoked(std::int32_t) override { ++revoked; }
    int registered = 0;
    int revoked = 0;
};

struct PageEvents : DocumentEvents {
    void onmousedown() override { lines.push_back("down"); }
    void onmouseup() override { lines.push_back("up"); }
    bool oncontextmenu() override {
        lines.push_back("menu");
        return allowMenu;
    }
    bool allowMenu = true;
    std::vector<std::string> lines;
};

// How the real-browser fixtures open a tab as a user does: a new tab at about:blank, then
// the address typed into it (`type`, given the tab's handle). `shows(address)` tells
// whether the new tab's page is at that address and complete. The new tab is the one
// listed that is not in `known`; done once the backend too has seen the page complete,
// so that nothing of this load reaches a test's receivers.
inline Hwnd openAsUser(ShellWindows& list, std::set<Hwnd>& known,
                       const std::function<bool(const std::function<bool()>&)>& waitFor,
                       const std::function<bool(const std::string&)>& shows,
                       const std::function<void(Hwnd)>& type, const std::string& url) {
    Hwnd handle = 0;
    std::shared_ptr<BrowserWindow> window;
    const bool listed = waitFor([&] {
        for (int i = 0; i < list.Count() && !window; ++i) {
            try {
                auto w = list.Item(i);
                if (!known.count(w->HWND())) window = w;
            } catch (const AutomationError&) {
            }
        }
        return window && shows("about:blank");
    });
    if (!listed) throw std::runtime_error("the new tab was never listed");
    handle = window->HWND();
    known.insert(handle);
    Events seen(window.get());
    const Cookie cookie = window->advise(&seen);
    type(handle);
    const bool loaded = waitFor([&] { return seen.has("complete " + url) && shows(url); });
    window->unadvise(cookie);
    if (!loaded) throw std::runtime_error("the new tab never loaded " + url);
    return handle;
}

template <class Backend>
class AutomationContract : public ::testing::Test {
  protected:
    Backend backend;

    std::shared_ptr<ShellWindows> list() {
        if (!list_) list_ = backend.automation().createShellWindows();
        return list_;
    }
    // The listed window with this handle; empty when none.
    std::shared_ptr<BrowserWindow> window(Hwnd handle) {
        auto windows = list();
        for (int i = 0; i < windows->Count(); ++i) {
            try {
                auto w = windows->Item(i);
                if (w->HWND() == handle) return w;
            } catch (const AutomationError&) {
                // gone meanwhile: not the one
            }
        }
        return nullptr;
    }
    // Where back passes over untouched pages, the user clicks in the page before it is left,
    // as a reader would.
    void touch(Hwnd h) {
        if (Backend::traits.backSkipsUntouchedPages) backend.press(h, false);
    }
    // Navigates as the program does and waits for the page and its back state.
    void load(const std::shared_ptr<BrowserWindow>& w, const std::string& url) {
        touch(w->HWND());
        Events e(w.get());
        const Cookie cookie = w->advise(&e);
        w->Navigate(url);
        const bool done = backend.waitFor([&] { return e.has("complete " + url) && e.back == 1; });
        w->unadvise(cookie);
        ASSERT_TRUE(done) << url << e.dump();
    }
    // A window that can go back to a and forward to c, showing b.
    std::shared_ptr<BrowserWindow> windowInTheMiddle(Hwnd* handle) {
        *handle = backend.open(backend.page('a'));
        auto w = window(*handle);
        if (!w) return nullptr;
        load(w, backend.page('b'));
        load(w, backend.page('c'));
        Events e(w.get());
        const Cookie cookie = w->advise(&e);
        w->GoBack();
        const bool back = backend.waitFor([&] { return e.has("complete " + backend.page('b')); });
        w->unadvise(cookie);
        return back ? w : nullptr;
    }

  private:
    std::shared_ptr<ShellWindows> list_;
};

TYPED_TEST_SUITE_P(AutomationContract);

TYPED_TEST_P(AutomationContract, TheListFollowsWindowsAsTheyOpenAndClose) {
    auto& b = this->backend;
    auto windows = b.automation().createShellWindows();
    ListEvents heard;
    windows->advise(&heard);
    const int before = windows->Count();

    const Hwnd h = b.open(b.page('a'));
    ASSERT_TRUE(b.waitFor([&] { return heard.registered >= 1; }));
    EXPECT_EQ(windows->Count(), before + 1);
    auto w = this->window(h);
    ASSERT_TRUE(w) << "the new window is listed";
    EXPECT_EQ(w->LocationURL(), b.page('a'));

    b.close(h);
    ASSERT_TRUE(b.waitFor([&] { return heard.revoked >= 1; }));
    EXPECT_EQ(windows->Count(), before);
    EXPECT_FALSE(this->window(h));
    EXPECT_THROW(w->LocationURL(), AutomationError) << "a closed window fails its calls";
    EXPECT_THROW(w->Navigate(b.page('b')), AutomationError);
}

TYPED_TEST_P(AutomationContract, HandlesAreUniqueStableAndNeverReused) {
    auto& b = this->backend;
    const Hwnd first = b.open(b.page('a'));
    const Hwnd second = b.open(b.page('b'));
    EXPECT_NE(first, 0);
    EXPECT_NE(first, second);
    auto w = this->window(first);
    ASSERT_TRUE(w);
    this->load(w, b.page('c'));
    EXPECT_EQ(w->HWND(), first) << "a navigation keeps the handle";

    std::set<Hwnd> seen{first, second};
    b.close(first);
    for (int i = 0; i < 2; ++i) {
        const Hwnd next = b.open(b.page('d'));
        EXPECT_TRUE(seen.insert(next).second) << "handle " << next << " given twice";
    }
}

// Each way a window can be sent elsewhere: by the program, by the page, by the user.
enum class Way { Program, Page, User };

template <class Backend>
void navigate(Backend& b, BrowserWindow& w, Hwnd h, Way way, const std::string& url) {
    switch (way) {
        case Way::Program:
            w.Navigate(url);
            break;
        case Way::Page:
            b.navigateByPage(h, url);
            break;
        case Way::User:
            b.navigateByUser(h, url);
            break;
    }
}

TYPED_TEST_P(AutomationContract, ANavigationRaisesItsEventsInOrder) {
    auto& b = this->backend;
    const Hwnd h = b.open(b.page('a'));
    auto w = this->window(h);
    ASSERT_TRUE(w);
    const char targets[] = {'b', 'c', 'd'};
    for (Way way : {Way::Program, Way::Page, Way::User}) {
        const std::string url = b.page(targets[static_cast<int>(way)]);
        SCOPED_TRACE(url);
        Events e(w.get());
        this->touch(h);
        const Cookie cookie = w->advise(&e);
        navigate(b, *w, h, way, url);
        ASSERT_TRUE(b.waitFor([&] { return e.has("complete " + url) && e.back == 1; })) << e.dump();
        w->unadvise(cookie);
        const int before = e.index("before " + url);
        const int download = e.index("download");
        const int navigated = e.index("navigated " + url);
        const int complete = e.index("complete " + url);
        const int downloaded = e.index("downloaded");
        EXPECT_EQ(before, 0) << e.dump();
        EXPECT_EQ(std::count(e.lines.begin(), e.lines.end(), "before " + url), 1) << e.dump();
        EXPECT_LT(before, navigated) << e.dump();
        EXPECT_LT(navigated, complete) << e.dump();
        EXPECT_LT(before, download) << e.dump();
        EXPECT_LT(download, downloaded) << e.dump();
        EXPECT_LT(downloaded, complete) << e.dump();
        EXPECT_EQ(e.forward, 0);
        EXPECT_EQ(w->LocationURL(), url);
    }
}

TYPED_TEST_P(AutomationContract, CancellingBeforeNavigateKeepsThePage) {
    auto& b = this->backend;
    const Hwnd h = b.open(b.page('a'));
    auto w = this->window(h);
    ASSERT_TRUE(w);
    for (Way way : {Way::Program, Way::Page, Way::User}) {
        const std::string url = b.page('b');
        const bool stops = way != Way::User || TypeParam::traits.userNavigationCancellable;
        SCOPED_TRACE(static_cast<int>(way));
        Events e(w.get());
        e.cancel = true;
        const Cookie cookie = w->advise(&e);
        navigate(b, *w, h, way, url);
        ASSERT_TRUE(b.waitFor([&] { return e.has("before " + url); })) << e.dump();
        e.cancel = false;
        if (!stops) {
            ASSERT_TRUE(b.waitFor([&] { return e.has("complete " + url); })) << e.dump();
        }
        // A cancelled load that went on anyway would show before the next one completes.
        this->load(w, b.page('c'));
        w->unadvise(cookie);
        EXPECT_EQ(e.has("navigated " + url), !stops) << e.dump();
        EXPECT_EQ(w->LocationURL(), b.page('c'));
        this->load(w, b.page('a'));
    }
}

TYPED_TEST_P(AutomationContract, BackAndForwardFollowTheHistory) {
    auto& b = this->backend;
    const Hwnd h = b.open(b.page('a'));
    auto w = this->window(h);
    ASSERT_TRUE(w);
    EXPECT_THROW(w->GoForward(), AutomationError) << "no forward history";
    int backAtA = 0;  // how the backend opened it may have left a page behind
    if (TypeParam::traits.newReceiverHearsCommandState) {
        Events first(w.get());
        const Cookie firstCookie = w->advise(&first);
        const bool told = b.waitFor([&] { return first.back != -1; });
        w->unadvise(firstCookie);
        ASSERT_TRUE(told);
        backAtA = first.back;
    }
    this->load(w, b.page('b'));

    Events e(w.get());
    const Cookie cookie = w->advise(&e);
    w->GoBack();
    ASSERT_TRUE(b.waitFor([&] {
        return e.has("complete " + b.page('a')) && e.back == backAtA && e.forward == 1;
    })) << e.dump();
    const std::string named = TypeParam::traits.historyMoveNamesAddress ? b.page('a') : "";
    EXPECT_EQ(e.index("before " + named), 0) << e.dump();
    EXPECT_EQ(w->LocationURL(), b.page('a'));

    w->GoForward();
    ASSERT_TRUE(b.waitFor([&] {
        return e.has("complete " + b.page('b')) && e.back == 1 && e.forward == 0;
    })) << e.dump();
    EXPECT_EQ(w->LocationURL(), b.page('b'));
    EXPECT_THROW(w->GoForward(), AutomationError);
    w->unadvise(cookie);
}

// The program attaches fresh receivers to every window whenever any window opens or
// closes; they must learn the window's state without waiting for its next navigation.
TYPED_TEST_P(AutomationContract, ANewReceiverIsToldWhereTheWindowCanGo) {
    auto& b = this->backend;
    Hwnd h = 0;
    auto w = this->windowInTheMiddle(&h);
    ASSERT_TRUE(w);
    Events e(w.get());
    const Cookie cookie = w->advise(&e);
    if (TypeParam::traits.newReceiverHearsCommandState) {
        EXPECT_TRUE(b.waitFor([&] { return e.back == 1 && e.forward == 1; })) << e.dump();
    } else {
        // As written: the flags start off, and nothing is said until the next navigation.
        EXPECT_FALSE(b.waitFor([&] { return e.back != -1 || e.forward != -1; })) << e.dump();
    }
    EXPECT_TRUE(e.lines.empty()) << "nothing else happened" << e.dump();
    w->unadvise(cookie);
}

// The program's own tracking over the backend: a window with history never shows a grey
// back button for long, whatever else opens or closes, and attaching it moves nothing.
TYPED_TEST_P(AutomationContract, TrackedWindowsKeepTheirHistoryWhenAnotherOpensOrCloses) {
    if (!TypeParam::traits.newReceiverHearsCommandState)
        GTEST_SKIP() << "as written, fresh receivers show no history until the next navigation";
    auto& b = this->backend;
    Hwnd h = 0;
    auto w = this->windowInTheMiddle(&h);
    ASSERT_TRUE(w);
    TrackingContext ctx{b.desktop(), b.loop(), b.clock(), b.automation()};
    cIEWindows windows(ctx);
    auto tracked = [&] {
        for (auto& wrapper : windows.NewEnum())
            if (wrapper->IEHandle() == h) return wrapper->EnableBack() && wrapper->EnableForward();
        return false;
    };
    ASSERT_TRUE(b.waitFor(tracked)) << "after attach";
    const Hwnd other = b.open(b.page('d'));
    ASSERT_TRUE(b.waitFor([&] { return windows.Count() >= 2 && tracked(); }))
        << "after another window opened";
    b.close(other);
    ASSERT_TRUE(b.waitFor([&] {
        for (auto& wrapper : windows.NewEnum())
            if (wrapper->IEHandle() == other) return false;
        return tracked();
    })) << "after it closed";
    EXPECT_EQ(w->LocationURL(), b.page('b')) << "the attach probe left the page where it was";
}

TYPED_TEST_P(AutomationContract, TheDocumentIsThePagesBody) {
    auto& b = this->backend;
    const Hwnd h = b.open(b.page('a'));
    auto w = this->window(h);
    ASSERT_TRUE(w);
    auto doc = w->Document();
    ASSERT_TRUE(doc);
    const std::string body = doc->bodyOuterHTML();
    EXPECT_EQ(body.rfind("<body", 0), 0u) << body;
    EXPECT_NE(body.find("Page A"), std::string::npos) << body;
    EXPECT_EQ(body.substr(body.size() - 7), "</body>") << body;

    const std::string html = "<p id=\"w\">quote \" back\\slash line\nbreak \xc3\xa9</p>";
    doc->setBodyInnerHTML(html);
    const std::string now = doc->bodyOuterHTML();
    EXPECT_EQ(now.find("Page A"), std::string::npos) << now;
    EXPECT_NE(now.find("quote \" back\\slash line\nbreak \xc3\xa9"), std::string::npos) << now;

    doc->setBodyLeftMargin(3);
    doc->setBodyTopMargin(7);
    EXPECT_EQ(b.margins(h), std::make_pair(3, 7));
}

TYPED_TEST_P(AutomationContract, MouseClicksInThePageReachTheDocument) {
    auto& b = this->backend;
    const Hwnd h = b.open(b.page('a'));
    auto w = this->window(h);
    ASSERT_TRUE(w);
    auto doc = w->Document();
    PageEvents heard, gone;
    const Cookie cookie = doc->advise(&heard);
    doc->unadvise(doc->advise(&gone));
    b.press(h, false);
    ASSERT_TRUE(b.waitFor([&] { return heard.lines.size() >= 2; }));
    heard.allowMenu = false;
    b.press(h, true);
    ASSERT_TRUE(b.waitFor([&] { return heard.lines.size() >= 5; }));
    EXPECT_EQ(heard.lines, (std::vector<std::string>{"down", "up", "down", "menu", "up"}));
    EXPECT_TRUE(gone.lines.empty()) << "an unadvised receiver hears nothing";
    if (auto shown = b.menuShown()) {
        EXPECT_EQ(*shown, !TypeParam::traits.contextMenuSuppressible)
            << "a receiver answered false";
    }
    doc->unadvise(cookie);
}

TYPED_TEST_P(AutomationContract, TheWindowInFrontIsTheForeground) {
    auto& b = this->backend;
    const Hwnd first = b.open(b.page('a'));
    const Hwnd second = b.open(b.page('b'));
    auto& fg = b.foreground();
    b.bringToFront(second);
    ASSERT_TRUE(b.waitFor([&] { return fg.foregroundWindow() == second; }));
    b.bringToFront(first);
    ASSERT_TRUE(b.waitFor([&] { return fg.foregroundWindow() == first; }));

    EXPECT_TRUE(fg.setForegroundWindow(second));
    ASSERT_TRUE(b.waitFor([&] { return fg.foregroundWindow() == second; }));
    EXPECT_FALSE(fg.setForegroundWindow(0x7ffffff0)) << "no such window";
}

REGISTER_TYPED_TEST_SUITE_P(AutomationContract, TheListFollowsWindowsAsTheyOpenAndClose,
                            HandlesAreUniqueStableAndNeverReused, ANavigationRaisesItsEventsInOrder,
                            CancellingBeforeNavigateKeepsThePage, BackAndForwardFollowTheHistory,
                            ANewReceiverIsToldWhereTheWindowCanGo,
                            TrackedWindowsKeepTheirHistoryWhenAnotherOpensOrCloses,
                            TheDocumentIsThePagesBody, MouseClicksInThePageReachTheDocument,
                            TheWindowInFrontIsTheForeground);

}  // namespace surfdeck::contract
