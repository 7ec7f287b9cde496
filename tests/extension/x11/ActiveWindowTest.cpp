// The window system's active window as the extension backend reads it, on a virtual X
// server where this test plays the window manager: it keeps _NET_ACTIVE_WINDOW itself.
#include <gtest/gtest.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/extension/qt/ExtensionAutomation.h"

namespace surfdeck::extension::test {
namespace {

class WindowManager {
  public:
    WindowManager() {
        c_ = xcb_connect(nullptr, nullptr);
        root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
    }
    ~WindowManager() { xcb_disconnect(c_); }
    bool ok() const { return !xcb_connection_has_error(c_); }

    xcb_window_t window(const std::string& name, std::uint32_t pid) {
        const xcb_window_t w = xcb_generate_id(c_);
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, w, root_, 0, 0, 10, 10, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        rename(w, name);
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL,
                            32, 1, &pid);
        sync();
        return w;
    }
    void rename(xcb_window_t w, const std::string& name) {
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, atom("_NET_WM_NAME"), atom("UTF8_STRING"),
                            8, static_cast<std::uint32_t>(name.size()), name.data());
        sync();
    }
    void activate(xcb_window_t w) {
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, root_, atom("_NET_ACTIVE_WINDOW"),
                            XCB_ATOM_WINDOW, 32, 1, &w);
        sync();
    }

  private:
    xcb_atom_t atom(const char* name) {
        auto* r = xcb_intern_atom_reply(
            c_, xcb_intern_atom(c_, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
            nullptr);
        const xcb_atom_t a = r ? r->atom : 0;
        std::free(r);
        return a;
    }
    // Everything sent has been handled by the server before the reader looks.
    void sync() { std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }

    xcb_connection_t* c_;
    xcb_window_t root_;
};

// The reader learns of a change through an event that may still be on its way.
::testing::AssertionResult answers(X11ActiveWindow& reader, unsigned window,
                                   const std::string& title) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    std::string seen = "nothing";
    do {
        if (auto info = reader.active()) {
            if (info->window == window && info->title == title)
                return ::testing::AssertionSuccess();
            seen = std::to_string(info->window) + " \"" + info->title + "\"";
        }
        usleep(2000);
    } while (std::chrono::steady_clock::now() < until);
    return ::testing::AssertionFailure() << "still " << seen;
}

TEST(X11ActiveWindow, FollowsTheActiveWindowAndItsTitleAsTheyChange) {
    WindowManager wm;
    ASSERT_TRUE(wm.ok()) << "needs an X display";
    const xcb_window_t one = wm.window("One - Chromium", 4242);
    const xcb_window_t two = wm.window("Two - Chromium", 4343);
    wm.activate(one);

    X11ActiveWindow reader;
    ASSERT_TRUE(reader.available());
    ASSERT_TRUE(answers(reader, one, "One - Chromium"));
    EXPECT_EQ(reader.active()->pid, 4242);

    // Another tab in front renames the window.
    wm.rename(one, "Other tab - Chromium");
    EXPECT_TRUE(answers(reader, one, "Other tab - Chromium"));

    // Another window comes forward; the one left behind is renamed unseen.
    wm.activate(two);
    EXPECT_TRUE(answers(reader, two, "Two - Chromium"));
    EXPECT_EQ(reader.active()->pid, 4343);
    wm.rename(one, "Behind - Chromium");
    wm.rename(two, "Two, next tab - Chromium");
    EXPECT_TRUE(answers(reader, two, "Two, next tab - Chromium"));

    // Back to the first window, renamed while it was behind.
    wm.activate(one);
    EXPECT_TRUE(answers(reader, one, "Behind - Chromium"));

    // No window active.
    wm.activate(0);
    EXPECT_TRUE(answers(reader, 0, ""));
}

}  // namespace
}  // namespace surfdeck::extension::test
