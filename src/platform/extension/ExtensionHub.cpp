#include "platform/extension/ExtensionHub.h"

#include <algorithm>
#include <limits>

#include "platform/extension/ExtensionTab.h"

namespace surfdeck::extension {

std::int64_t intField(const Json& object, const char* key, std::int64_t def) {
    if (!object.is_object()) return def;
    const auto it = object.find(key);
    if (it == object.end()) return def;
    if (it->is_number_integer()) return it->get<std::int64_t>();
    // Unsigned values beyond the signed range are no ids we know.
    if (it->is_number_unsigned() &&
        it->get<std::uint64_t>() <= std::uint64_t(std::numeric_limits<std::int64_t>::max()))
        return static_cast<std::int64_t>(it->get<std::uint64_t>());
    return def;
}

std::string textField(const Json& object, const char* key, const std::string& def) {
    if (!object.is_object()) return def;
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : def;
}

bool boolField(const Json& object, const char* key, bool def) {
    if (!object.is_object()) return def;
    const auto it = object.find(key);
    return it != object.end() && it->is_boolean() ? it->get<bool>() : def;
}

std::string oneLine(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < ' ' || c == '\x7f') c = ' ';
    return text;
}

void ExtensionHub::log(const std::string& line) {
    host_.log(oneLine(line));
}

ExtensionHub::ExtensionHub(HubHost& host, HubOptions options)
    : host_(host), options_(std::move(options)) {}

ExtensionHub::~ExtensionHub() {
    for (auto& [id, p] : peers_) {
        for (auto& tab : p->tabs) tab->setClosed();
        for (auto& [callId, w] : p->waiting) {
            w->done = w->failed = true;
            w->number = automation_error::Disconnected;
            w->error = "The browser connection has ended";
        }
    }
}

std::shared_ptr<ExtensionHub::Peer> ExtensionHub::peer(PeerId id) const {
    const auto it = peers_.find(id);
    return it == peers_.end() ? nullptr : it->second;
}

void ExtensionHub::connected(PeerId id) {
    auto p = std::make_shared<Peer>();
    p->id = id;
    peers_[id] = std::move(p);
}

void ExtensionHub::drop(PeerId id, const std::string& why) {
    if (!peer(id)) return;
    log(why);
    host_.dropPeer(id);
    disconnected(id);
}

void ExtensionHub::malformed(Peer& p, const std::string& why) {
    // One line per message, and a peer that sends nothing else is cut off.
    if (++p.malformed > kMaxMalformed) {
        drop(p.id, "Browser connection dropped: too many malformed messages");
        return;
    }
    log("Browser message dropped: " + why);
}

void ExtensionHub::received(PeerId id, const char* data, std::size_t size) {
    auto p = peer(id);
    if (!p || p->closed) return;
    if (!p->decoder.feed(data, size)) {
        drop(id, "Browser message of " + std::to_string(p->decoder.refusedLength()) +
                     " bytes over the limit of " + std::to_string(wire::kMaxFromBrowser) +
                     "; connection dropped");
        return;
    }
    bool queued = false;
    while (auto text = p->decoder.next()) {
        std::string why;
        auto message = wire::parseMessage(*text, &why);
        if (!message) {
            malformed(*p, why);
            if (p->closed) return;
            continue;
        }
        const std::string type = wire::messageType(*message);
        if (!p->hello && type != "hello") {
            drop(id, "Browser connection dropped: it sent \"" + type.substr(0, 40) +
                         "\" before saying hello");
            return;
        }
        if (type == "reply") {
            // Answers are taken at once: the caller waits in a nested loop for them.
            const auto callId = intField(*message, "id");
            const auto it = p->waiting.find(static_cast<int>(callId));
            if (callId < 0 || callId > std::numeric_limits<int>::max() || it == p->waiting.end())
                continue;  // late or unknown: the call has given up
            Waiting& w = *it->second;
            w.done = true;
            if (boolField(*message, "ok")) {
                const auto result = message->find("result");
                if (result != message->end()) w.result = *result;
            } else {
                w.failed = true;
                w.number = automation_error::Failed;
                // The text ends up in our log through whoever catches the error.
                w.error =
                    oneLine(textField(*message, "error", "the browser refused").substr(0, 300));
            }
            continue;
        }
        if (type == "hello") p->hello = true;
        if (queue_.size() >= kMaxQueued) {
            drop(id, "Browser connection dropped: too many messages at once");
            return;
        }
        queue_.push_back([this, p, m = std::move(*message)] { handle(p, m); });
        queued = true;
    }
    if (queued) host_.postDrain();
}

void ExtensionHub::disconnected(PeerId id) {
    auto p = peer(id);
    if (!p) return;
    peers_.erase(id);
    p->closed = true;
    // Calls waiting on this browser fail now, not at their time-out.
    for (auto& [callId, w] : p->waiting) {
        w->done = w->failed = true;
        w->number = automation_error::Disconnected;
        w->error = "The browser connection has ended";
    }
    std::vector<Hwnd> removed;
    for (auto& tab : p->tabs) {
        tab->setClosed();
        removed.push_back(tab->handle());
    }
    if (p->hello) log("Browser disconnected: " + p->browser);
    if (!removed.empty()) post([this, removed] { announce({}, removed); });
}

void ExtensionHub::post(std::function<void()> fn) {
    queue_.push_back(std::move(fn));
    host_.postDrain();
}

void ExtensionHub::drain() {
    auto self = shared_from_this();
    while (!queue_.empty()) {
        auto fn = std::move(queue_.front());
        queue_.pop_front();
        // Nothing a receiver lets escape may cross the event loop.
        try {
            fn();
        } catch (const std::exception& e) {
            log(std::string("Error in browser event: ") + e.what());
        } catch (...) {
            log("Error in browser event");
        }
    }
}

void ExtensionHub::send(Peer& p, const Json& message) {
    const std::string text = wire::serialize(message);
    if (text.size() > wire::kMaxToBrowser) {
        log("Message to the browser of " + std::to_string(text.size()) + " bytes refused");
        throw AutomationError(automation_error::Refused, "The message is too large to send");
    }
    host_.sendFrame(p.id, wire::encodeFrame(text));
}

void ExtensionHub::sendSettings(Peer& p) {
    send(p, Json{{"type", "settings"},
                 {"suppressContextMenu", options_.suppressContextMenu},
                 {"homePage", options_.homePage}});
}

void ExtensionHub::setHomePage(const std::string& url) {
    options_.homePage = url;
    for (auto& [id, p] : peers_)
        if (p->hello) sendSettings(*p);
}

void ExtensionHub::setSuppressContextMenu(bool on) {
    if (options_.suppressContextMenu == on) return;
    options_.suppressContextMenu = on;
    for (auto& [id, p] : peers_)
        if (p->hello) sendSettings(*p);
}

Json ExtensionHub::call(PeerId id, const std::string& method, Json args) {
    auto self = shared_from_this();
    auto p = peer(id);
    if (!p || p->closed)
        throw AutomationError(automation_error::Disconnected, "The browser is not connected");
    const int callId = p->nextCallId =
        p->nextCallId == std::numeric_limits<int>::max() ? 1 : p->nextCallId + 1;
    args["type"] = "call";
    args["id"] = callId;
    args["method"] = method;
    send(*p, args);
    auto waiting = std::make_shared<Waiting>();
    p->waiting[callId] = waiting;
    host_.waitFor([&waiting] { return waiting->done; }, options_.callTimeoutMs);
    p->waiting.erase(callId);
    if (!waiting->done)
        throw AutomationError(automation_error::Timeout,
                              method + ": no answer from the browser in time");
    if (waiting->failed) throw AutomationError(waiting->number, method + ": " + waiting->error);
    return waiting->result;
}

}  // namespace surfdeck::extension
