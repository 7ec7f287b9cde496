#pragma once

namespace surfdeck {

// Where a real browser cannot keep the automation contract, and every backend emulates the
// rest. All such differences are named here, and nowhere else: the contract tests read
// them, and the simulated shell can imitate any backend's set so that the program can be
// tried against it.
struct BackendTraits {
    // Cancelling BeforeNavigate2 of an address the user typed (or of the user's own back
    // and forward) stops it. Pages' own navigations and the program's can always be
    // cancelled.
    bool userNavigationCancellable = true;
    // Returning false from oncontextmenu keeps the browser's own menu away. Where it is
    // false, every receiver still hears the event, but only after the menu has shown.
    bool contextMenuSuppressible = true;
    // Back passes over a page the user never touched (no click or key in it) when the
    // program or the page itself sent the tab on; where true, such a page gives no back
    // entry, and a tab whose only earlier pages are untouched cannot go back.
    bool backSkipsUntouchedPages = false;
    // BeforeNavigate2 of the program's GoBack and GoForward names the address they go to;
    // where false, it comes with an empty address (the backend knows only whether the tab
    // can go, not where).
    bool historyMoveNamesAddress = true;
    // A receiver advised on a window hears the window's back and forward state at once,
    // where the contract has its flags start off until the window's next navigation. The
    // program advises fresh receivers whenever any window opens or closes, so without it
    // a tab with history shows a grey back button after another tab opens or closes: the
    // real backends mend that.
    bool newReceiverHearsCommandState = false;
};

// The simulated shell: the contract as written.
inline constexpr BackendTraits kSimTraits{};

// A browser over its DevTools endpoint: the page reports its context menu after the
// browser has decided to show it.
inline constexpr BackendTraits kDevToolsTraits{.userNavigationCancellable = true,
                                               .contextMenuSuppressible = false,
                                               .newReceiverHearsCommandState = true};

// The user's own browser through the extension: typed addresses and history moves never
// pass through the page, so they are announced as they start but go on. The context menu
// is kept away only through a flag pushed to the page beforehand. Back and forward are
// what the browser's own buttons do, which pass over untouched pages; where they lead is
// not known before they go.
inline constexpr BackendTraits kExtensionTraits{.userNavigationCancellable = false,
                                                .contextMenuSuppressible = false,
                                                .backSkipsUntouchedPages = true,
                                                .historyMoveNamesAddress = false,
                                                .newReceiverHearsCommandState = true};

// Firefox through the same extension: every top-level load, typed addresses and history
// moves included, waits in a blocking request listener until the program decides, and
// back and forward go to every earlier page, touched or not. The context menu and the
// address of a history move are as in the Chromium family.
inline constexpr BackendTraits kFirefoxExtensionTraits{.userNavigationCancellable = true,
                                                       .contextMenuSuppressible = false,
                                                       .backSkipsUntouchedPages = false,
                                                       .historyMoveNamesAddress = false,
                                                       .newReceiverHearsCommandState = true};

}  // namespace surfdeck
