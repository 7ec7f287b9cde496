#pragma once
#include <algorithm>
#include <string_view>
#include <vector>

#include "ports/Automation.h"

namespace surfdeck::chromium {

// The receivers advised on one object. An event walks a snapshot of the cookies and asks
// again for each one, so a receiver that unadvises itself or another one from inside the
// event is not called afterwards.
template <class Sink>
class SinkList {
  public:
    Cookie add(Sink* sink) {
        if (!sink) throw AutomationError(automation_error::Refused, "No receiver given");
        entries_.push_back({++lastCookie_, sink});
        return lastCookie_;
    }

    void remove(Cookie cookie) {
        entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                      [cookie](const Entry& e) { return e.cookie == cookie; }),
                       entries_.end());
    }

    bool empty() const { return entries_.empty(); }

    template <class Fn>
    void forEach(Fn&& fn) {
        std::vector<Cookie> cookies;
        cookies.reserve(entries_.size());
        for (const Entry& e : entries_) cookies.push_back(e.cookie);
        for (Cookie cookie : cookies) {
            if (Sink* sink = find(cookie)) fn(*sink);
        }
    }

    // Calls fn for the one receiver of cookie, when it is still advised.
    template <class Fn>
    void forOne(Cookie cookie, Fn&& fn) {
        if (Sink* sink = find(cookie)) fn(*sink);
    }

  private:
    struct Entry {
        Cookie cookie;
        Sink* sink;
    };

    Sink* find(Cookie cookie) const {
        for (const Entry& e : entries_)
            if (e.cookie == cookie) return e.sink;
        return nullptr;
    }

    std::vector<Entry> entries_;
    Cookie lastCookie_ = 0;
};

// A page's mouse event or context menu, by its DOM name, to every receiver of a document;
// other names are ignored. Whether the browser's menu shows was decided in the page.
inline void raisePageEvent(SinkList<DocumentEvents>& sinks, std::string_view kind) {
    if (kind == "mousedown") {
        sinks.forEach([](DocumentEvents& s) { s.onmousedown(); });
    } else if (kind == "mouseup") {
        sinks.forEach([](DocumentEvents& s) { s.onmouseup(); });
    } else if (kind == "contextmenu") {
        sinks.forEach([](DocumentEvents& s) { s.oncontextmenu(); });
    }
}

}  // namespace surfdeck::chromium
