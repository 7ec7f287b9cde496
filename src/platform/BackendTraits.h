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
};

// The simulated shell: the contract as written.
inline constexpr BackendTraits kSimTraits{};

// A browser over its DevTools endpoint: the page reports its context menu after the
// browser has decided to show it.
inline constexpr BackendTraits kDevToolsTraits{.userNavigationCancellable = true,
                                               .contextMenuSuppressible = false};

// The user's own browser through the extension: typed addresses and history moves never
// pass through the page, so they are announced as they start but go on. The context menu
// is kept away only through a flag pushed to the page beforehand.
inline constexpr BackendTraits kExtensionTraits{.userNavigationCancellable = false,
                                                .contextMenuSuppressible = false};

}  // namespace surfdeck
