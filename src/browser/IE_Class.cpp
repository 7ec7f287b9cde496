#include "browser/IE_Class.h"

#include <exception>

namespace surfdeck {

IE_Class::~IE_Class() {
    disconnect();
}

void IE_Class::disconnect() {
    // Failures ignored: the window may have gone already.
    if (IE && ieCookie_ != 0) {
        try {
            IE->unadvise(ieCookie_);
        } catch (const std::exception&) {
        }
    }
    ieCookie_ = 0;
    if (IEDoc && docCookie_ != 0) {
        try {
            IEDoc->unadvise(docCookie_);
        } catch (const std::exception&) {
        }
    }
    docCookie_ = 0;
}

void IE_Class::detach() {
    disconnect();
    owner_ = nullptr;
}

void IE_Class::setIEctl(std::shared_ptr<BrowserWindow> B) {
    disconnect();
    // Up to the handle, a failure ends the attach silently; what is set stays set.
    try {
        IE = std::move(B);
        if (!IE) return;
        ieCookie_ = IE->advise(this);
        IEHandle_ = IE->HWND();
    } catch (const std::exception&) {
        return;
    }

    // From here each failing step is skipped.
    try {
        // A folder window has no HTML document: it stays empty and no document events come.
        auto doc = IE->Document();
        if (doc) {
            docCookie_ = doc->advise(this);
            IEDoc = std::move(doc);
        }
    } catch (const std::exception&) {
    }

    // Probe for forward history: going forward fails without it. Otherwise the forward
    // navigation this starts is cancelled by the pending cancel, normally in the
    // BeforeNavigate2 raised inside the GoForward call, and its download is stopped.
    ctx_.setCancelPending();
    bool noForward = false;
    try {
        IE->GoForward();
    } catch (const std::exception&) {
        noForward = true;
    }
    if (noForward) {
        EnableForward_ = false;
        ctx_.CancelPending = false;
    } else {
        try {
            IE->ExecWB(OLECMDID_STOPDOWNLOAD, OLECMDEXECOPT_DONTPROMPTUSER);
        } catch (const std::exception&) {
        }
    }
}

void IE_Class::forward(std::int32_t kind, std::span<const IEEventArg> args) {
    ForwardIEEvent(ctx_, *this, kind, IEHandle_, args);
}

// Each handler keeps the wrapper alive for its own duration: a receiver may start a
// rebuild that drops it from the list.

void IE_Class::IE_BeforeNavigate2(BeforeNavigateArgs& a) {
    auto keep = weak_from_this().lock();
    const IEEventArg args[] = {a.pDisp,     &a.url,     &a.flags, &a.targetFrameName,
                               &a.postData, &a.headers, &a.cancel};
    forward(ie_event::BeforeNavigate2, args);
    if (ctx_.takeCancelPending()) a.cancel = true;
}

void IE_Class::IE_NavigateComplete2(Dispatch* pDisp, const std::string& URL) {
    auto keep = weak_from_this().lock();
    const IEEventArg args[] = {pDisp, &URL};
    forward(ie_event::NavigateComplete2, args);
}

void IE_Class::IE_DownloadBegin() {
    auto keep = weak_from_this().lock();
    forward(ie_event::DownloadBegin, {});
}

void IE_Class::IE_DownloadComplete() {
    auto keep = weak_from_this().lock();
    forward(ie_event::DownloadComplete, {});
}

void IE_Class::IE_DocumentComplete(Dispatch* pDisp, const std::string& URL) {
    // Only the top-level document: frames finish their own documents first.
    if (!IE || pDisp != static_cast<Dispatch*>(IE.get())) return;
    auto keep = weak_from_this().lock();
    const IEEventArg args[] = {pDisp, &URL};
    forward(ie_event::DocumentComplete, args);
}

PixelPoint IE_Class::clientCursor() {
    return ctx_.desktop.screenToClient(IEHandle_, ctx_.desktop.cursorPos());
}

// Alt wins over Ctrl, Ctrl over Shift: the value is never a sum.
std::int16_t IE_Class::readShift() {
    std::int16_t Shift = 0;
    if (ctx_.desktop.asyncKeyState(VK_SHIFT) != 0) Shift = 1;
    if (ctx_.desktop.asyncKeyState(VK_CONTROL) != 0) Shift = 2;
    if (ctx_.desktop.asyncKeyState(VK_MENU) != 0) Shift = 4;
    return Shift;
}

void IE_Class::IEDoc_onmousedown() {
    auto keep = weak_from_this().lock();
    const PixelPoint p = clientCursor();
    const float X = static_cast<float>(p.x);
    const float Y = static_cast<float>(p.y);
    std::int16_t Button = 0;
    // Anything but the left button, the middle one included, counts as the right.
    if (ctx_.desktop.asyncKeyState(VK_LBUTTON) < 0) {
        Button = 1;
        LeftDown = true;
    } else {
        Button = 2;
        RightDown = true;
    }
    const std::int16_t Shift = readShift();
    const IEEventArg args[] = {&Button, &Shift, &X, &Y};
    forward(ie_event::MouseDown, args);
}

void IE_Class::IEDoc_onmouseup() {
    auto keep = weak_from_this().lock();
    const PixelPoint p = clientCursor();
    const float X = static_cast<float>(p.x);
    const float Y = static_cast<float>(p.y);
    // The release belongs to the last press; the buttons are not read again.
    std::int16_t Button = 0;
    if (LeftDown) {
        Button = 1;
        LeftDown = false;
    } else {
        Button = 2;
        RightDown = false;
    }
    const std::int16_t Shift = readShift();
    const IEEventArg args[] = {&Button, &Shift, &X, &Y};
    forward(ie_event::MouseUp, args);
}

bool IE_Class::IEDoc_oncontextmenu() {
    auto keep = weak_from_this().lock();
    forward(ie_event::ContextMenu, {});
    return !ctx_.takeCancelPending();
}

void IE_Class::IE_CommandStateChange(std::int32_t Command, bool Enable) {
    auto keep = weak_from_this().lock();
    if (Command == CSC_NAVIGATEFORWARD) {
        EnableForward_ = Enable;
    } else if (Command == CSC_NAVIGATEBACK) {
        EnableBack_ = Enable;
    }
    const std::int32_t command = Command;
    const bool enable = Enable;
    const IEEventArg args[] = {&command, &enable};
    forward(ie_event::CommandStateChange, args);
}

}  // namespace surfdeck
