#include "browser/StatusBoard.h"

#include <algorithm>

namespace surfdeck {

namespace {

// A name from a browser is shown on one line and kept short.
std::string shown(const std::string& name) {
    constexpr std::size_t kMost = 60;
    std::string out;
    for (char c : name) {
        if (out.size() >= kMost) break;
        out += static_cast<unsigned char>(c) < ' ' ? ' ' : c;
    }
    return out.empty() ? std::string("a browser") : out;
}

}  // namespace

std::string StatusBoard::failureText(const BrowserStatus& s) {
    const std::string in = s.browser.empty() ? std::string() : " (" + shown(s.browser) + ")";
    switch (s.state) {
        case BrowserStatus::State::NotFound:
            return "Browser not found" + in;
        case BrowserStatus::State::Refused:
            return "Browser connection refused" + in;
        case BrowserStatus::State::Lost:
            return "Browser connection lost" + in;
        case BrowserStatus::State::ExtensionMissing:
            return "Browser extension not installed" + in;
        case BrowserStatus::State::Connected:
            break;
    }
    return {};
}

void StatusBoard::report(const BrowserStatus& status) {
    Source& source = sources_[status.source];
    const auto before = connectedBrowsers();
    if (status.state == BrowserStatus::State::Connected) {
        const std::string name = shown(status.browser);
        if (std::find(source.connected.begin(), source.connected.end(), name) ==
            source.connected.end())
            source.connected.push_back(name);
        source.failure.reset();
    } else {
        if (status.state == BrowserStatus::State::Lost) {
            if (status.browser.empty()) {
                source.connected.clear();
            } else {
                std::erase(source.connected, shown(status.browser));
            }
        }
        if (source.failure != status.state) {
            source.failure = status.state;
            if (notifier_) notifier_->notify("Surfdeck", failureText(status));
        }
    }
    if (connectedBrowsers() != before) changed();
}

void StatusBoard::setSecondCopy(long firstCopyPid) {
    firstCopy_ = firstCopyPid;
    changed();
}

std::vector<std::string> StatusBoard::connectedBrowsers() const {
    std::vector<std::string> all;
    for (const auto& [name, source] : sources_)
        all.insert(all.end(), source.connected.begin(), source.connected.end());
    return all;
}

std::string StatusBoard::titleToolTip() const {
    const auto browsers = connectedBrowsers();
    std::string text = "Connected to ";
    if (browsers.empty()) {
        text += "no browser";
    } else {
        for (std::size_t i = 0; i < browsers.size(); ++i) {
            if (i > 0) text += ", ";
            text += browsers[i];
        }
    }
    if (firstCopy_) {
        text += "\nSecond copy: another Surfdeck was already running";
        if (*firstCopy_ > 0) text += " (process " + std::to_string(*firstCopy_) + ")";
    }
    return text;
}

void StatusBoard::changed() {
    if (changed_) changed_();
}

}  // namespace surfdeck
