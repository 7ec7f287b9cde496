#pragma once
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "ports/Automation.h"

namespace surfdeck {

// The receivers advised on one simulated automation object. Events reach only receivers
// that are still advised at the moment of each call, so a receiver may unadvise itself
// or others from inside an event. A receiver's failure stops at the process boundary, as
// it does for a real browser: it is noted in errors and the next receiver runs.
template <class Sink>
class SimSinks {
  public:
    explicit SimSinks(std::vector<std::string>* errors) : errors_(errors) {}

    Cookie advise(Sink* sink) {
        Cookie cookie = nextCookie_++;
        sinks_.emplace_back(cookie, sink);
        return cookie;
    }

    void unadvise(Cookie cookie) {
        for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
            if (it->first == cookie) {
                sinks_.erase(it);
                return;
            }
        }
    }

    bool advised(Cookie cookie) const {
        for (const auto& entry : sinks_)
            if (entry.first == cookie) return true;
        return false;
    }

    std::size_t size() const { return sinks_.size(); }

    // Calls f(sink) for the one receiver of cookie, when it is still advised.
    template <class F>
    void deliverTo(Cookie cookie, F&& f) {
        for (auto& [c, sink] : sinks_) {
            if (c != cookie) continue;
            Sink* target = sink;
            deliverOne(*target, f);
            return;
        }
    }

    // Calls f(sink) for every receiver. The owner keeps itself alive for the duration.
    template <class F>
    void deliver(F&& f) {
        auto snapshot = sinks_;
        for (auto& [cookie, sink] : snapshot) {
            if (advised(cookie)) deliverOne(*sink, f);
        }
    }

  private:
    template <class F>
    void deliverOne(Sink& sink, F& f) {
        try {
            f(sink);
        } catch (const std::exception& e) {
            if (errors_) errors_->push_back(e.what());
        } catch (...) {
            if (errors_) errors_->push_back("unknown failure");
        }
    }

    std::vector<std::string>* errors_;
    Cookie nextCookie_ = 1;
    std::vector<std::pair<Cookie, Sink*>> sinks_;
};

}  // namespace surfdeck
