#include "browser/cIEWindows.h"

#include <algorithm>
#include <exception>
#include <stdexcept>

namespace surfdeck {

namespace {

template <class T>
const T* refAt(std::span<const IEEventArg> args, std::size_t i) {
    if (i >= args.size()) return nullptr;
    auto p = std::get_if<const T*>(&args[i]);
    return p ? *p : nullptr;
}

}  // namespace

cIEWindows::cIEWindows(TrackingContext& ctx) : ctx_(ctx) {
    ctx_.IEWindowsPtr = this;
    try {
        Refresh();
    } catch (...) {
        // No destructor runs for a list that was never made: end it here.
        *alive_ = false;
        releaseCollection();
        if (winShell) {
            try {
                winShell->unadvise(winShellCookie_);
            } catch (const std::exception&) {
            }
        }
        if (ctx_.IEWindowsPtr == this) ctx_.IEWindowsPtr = nullptr;
        throw;
    }
}

cIEWindows::~cIEWindows() {
    *alive_ = false;
    releaseCollection();
    if (winShell) {
        try {
            winShell->unadvise(winShellCookie_);
        } catch (const std::exception&) {
        }
        winShell.reset();
    }
    // A wrapper kept elsewhere must not reach a list that has gone.
    if (ctx_.IEWindowsPtr == this) ctx_.IEWindowsPtr = nullptr;
}

void cIEWindows::releaseCollection() {
    auto old = std::move(colIE);
    colIE.clear();
    for (auto& item : old) item.wrapper->detach();
}

std::shared_ptr<IE_Class> cIEWindows::Add(std::shared_ptr<BrowserWindow> B) {
    auto alive = alive_;
    const unsigned rebuild = rebuilds_;
    auto wrapper = std::make_shared<IE_Class>(ctx_);
    wrapper->owner_ = this;
    wrapper->setIEctl(std::move(B));
    if (!*alive || rebuilds_ != rebuild) {
        wrapper->detach();
        return nullptr;
    }
    std::string key = std::to_string(wrapper->IEHandle());
    // Two entries with one handle (both unreadable, say) keep the first.
    if (indexOf(key) != colIE.size()) {
        wrapper->detach();
        return nullptr;
    }
    colIE.push_back({std::move(key), wrapper});
    return wrapper;
}

std::size_t cIEWindows::indexOf(const std::string& key) const {
    for (std::size_t i = 0; i < colIE.size(); ++i)
        if (colIE[i].key == key) return i;
    return colIE.size();
}

// One thread: a reader finds the list refreshing only from inside the rebuild itself
// (a receiver of an event raised while attaching), and only a nested rebuild run by
// pending messages could end it. So pump once and then read the collection as it
// stands, instead of waiting for ever.
void cIEWindows::waitWhileRefreshing() {
    if (Refreshing) ctx_.loop.doEvents();
}

std::shared_ptr<IE_Class> cIEWindows::IE(int position1Based) {
    auto alive = alive_;
    waitWhileRefreshing();
    if (!*alive || position1Based < 1 || position1Based > Count())
        throw std::out_of_range("no browser window at position " + std::to_string(position1Based));
    return colIE[static_cast<std::size_t>(position1Based - 1)].wrapper;
}

std::shared_ptr<IE_Class> cIEWindows::IE(const std::string& key) {
    auto alive = alive_;
    waitWhileRefreshing();
    if (!*alive) throw std::out_of_range("no browser window with key " + key);
    const std::size_t i = indexOf(key);
    if (i == colIE.size()) throw std::out_of_range("no browser window with key " + key);
    return colIE[i].wrapper;
}

void cIEWindows::Remove(int position1Based) {
    if (position1Based < 1 || position1Based > Count())
        throw std::out_of_range("no browser window at position " + std::to_string(position1Based));
    auto it = colIE.begin() + (position1Based - 1);
    auto wrapper = std::move(it->wrapper);
    colIE.erase(it);
    wrapper->detach();
}

void cIEWindows::Remove(const std::string& key) {
    const std::size_t i = indexOf(key);
    if (i == colIE.size()) throw std::out_of_range("no browser window with key " + key);
    Remove(static_cast<int>(i) + 1);
}

std::vector<std::shared_ptr<IE_Class>> cIEWindows::NewEnum() const {
    std::vector<std::shared_ptr<IE_Class>> items;
    items.reserve(colIE.size());
    for (const auto& item : colIE) items.push_back(item.wrapper);
    return items;
}

void cIEWindows::Refresh() {
    auto alive = alive_;
    Refreshing = true;
    // Whatever happens, the rebuild ends: readers must never find the flag stuck.
    // A nested rebuild clears it too; the outer one then goes on without it.
    struct Done {
        cIEWindows* self;
        std::shared_ptr<bool> alive;
        ~Done() {
            if (*alive) self->Refreshing = false;
        }
    } done{this, alive};

    const unsigned rebuild = ++rebuilds_;
    releaseCollection();
    auto shell = ctx_.automation.createShellWindows();
    const int count = shell->Count();
    for (int i = 0; i < count; ++i) {
        std::shared_ptr<BrowserWindow> entry;
        try {
            entry = shell->Item(i);
        } catch (const AutomationError&) {
            // Closed while we walk: its revoked event rebuilds the list again.
        }
        if (!*alive) return;
        // A rebuild nested in our calls has made the list anew, and listens already.
        if (rebuilds_ != rebuild) return;
        if (!entry) continue;
        Add(std::move(entry));
        if (!*alive || rebuilds_ != rebuild) return;
    }
    if (rebuilds_ != rebuild) return;
    const Cookie cookie = shell->advise(this);
    if (winShell) {
        try {
            winShell->unadvise(winShellCookie_);
        } catch (const std::exception&) {
        }
    }
    winShell = std::move(shell);
    winShellCookie_ = cookie;
}

void cIEWindows::winShell_WindowRegistered(std::int32_t /*lCookie*/) {
    auto alive = alive_;
    Refresh();
    if (!*alive) return;
    waitWhileRefreshing();
    if (!*alive) return;
    raise([](cIEWindowsEvents& r) { r.IEWindowRegistered(); });
}

void cIEWindows::winShell_WindowRevoked(std::int32_t /*lCookie*/) {
    auto alive = alive_;
    Refresh();
    if (!*alive) return;
    waitWhileRefreshing();
    if (!*alive) return;
    raise([](cIEWindowsEvents& r) { r.IEWindowRevoked(); });
}

void cIEWindows::addReceiver(cIEWindowsEvents* receiver) {
    if (receiver && std::find(receivers_.begin(), receivers_.end(), receiver) == receivers_.end())
        receivers_.push_back(receiver);
}

void cIEWindows::removeReceiver(cIEWindowsEvents* receiver) {
    receivers_.erase(std::remove(receivers_.begin(), receivers_.end(), receiver), receivers_.end());
}

// Receivers may remove themselves or others, or end the list, from inside an event.
template <class F>
void cIEWindows::raise(F&& f) {
    auto alive = alive_;
    const auto snapshot = receivers_;
    for (auto* receiver : snapshot) {
        if (!*alive) return;
        if (std::find(receivers_.begin(), receivers_.end(), receiver) == receivers_.end()) continue;
        f(*receiver);
    }
}

void cIEWindows::FireIEEvent(std::int32_t kind, const std::int32_t& IEHandle,
                             std::span<const IEEventArg> args) {
    switch (kind) {
        case ie_event::BeforeNavigate2: {
            auto pDisp = args.size() > 0 ? std::get_if<Dispatch*>(&args[0]) : nullptr;
            auto URL = refAt<std::string>(args, 1);
            auto Flags = refAt<std::int32_t>(args, 2);
            auto TargetFrameName = refAt<std::string>(args, 3);
            auto PostData = refAt<std::string>(args, 4);
            auto Headers = refAt<std::string>(args, 5);
            auto cancel = args.size() > 6 ? std::get_if<bool>(&args[6]) : nullptr;
            if (!pDisp || !URL || !Flags || !TargetFrameName || !PostData || !Headers || !cancel)
                return;
            bool Cancel = *cancel;
            raise([&](cIEWindowsEvents& r) {
                r.IENavigationBegin(IEHandle, *pDisp, *URL, *Flags, *TargetFrameName, *PostData,
                                    *Headers, Cancel);
            });
            return;
        }
        case ie_event::NavigateComplete2:
        case ie_event::DocumentComplete: {
            auto pDisp = args.size() > 0 ? std::get_if<Dispatch*>(&args[0]) : nullptr;
            auto URL = refAt<std::string>(args, 1);
            if (!pDisp || !URL) return;
            if (kind == ie_event::NavigateComplete2) {
                raise([&](cIEWindowsEvents& r) { r.IENavigationComplete(IEHandle, *pDisp, *URL); });
            } else {
                raise([&](cIEWindowsEvents& r) { r.IEDocumentComplete(IEHandle, *pDisp, *URL); });
            }
            return;
        }
        case ie_event::DownloadBegin:
            raise([&](cIEWindowsEvents& r) { r.IEDownloadBegin(IEHandle); });
            return;
        case ie_event::DownloadComplete:
            raise([&](cIEWindowsEvents& r) { r.IEDownloadComplete(IEHandle); });
            return;
        case ie_event::MouseDown:
        case ie_event::MouseUp: {
            auto Button = refAt<std::int16_t>(args, 0);
            auto Shift = refAt<std::int16_t>(args, 1);
            auto X = refAt<float>(args, 2);
            auto Y = refAt<float>(args, 3);
            if (!Button || !Shift || !X || !Y) return;
            const std::int16_t button = *Button, shift = *Shift;
            const float x = *X, y = *Y;
            if (kind == ie_event::MouseDown) {
                raise([&](cIEWindowsEvents& r) { r.IEMouseDown(IEHandle, button, shift, x, y); });
            } else {
                raise([&](cIEWindowsEvents& r) { r.IEMouseUp(IEHandle, button, shift, x, y); });
            }
            return;
        }
        case ie_event::ContextMenu:
            raise([&](cIEWindowsEvents& r) { r.IEOnContextMenu(IEHandle); });
            return;
        case ie_event::CommandStateChange: {
            auto command = refAt<std::int32_t>(args, 0);
            auto enable = refAt<bool>(args, 1);
            if (!command || !enable) return;
            const std::int32_t Command = *command;
            bool Enable = *enable;
            raise([&](cIEWindowsEvents& r) { r.IECommandStateChange(IEHandle, Command, Enable); });
            return;
        }
        default:
            return;
    }
}

}  // namespace surfdeck
