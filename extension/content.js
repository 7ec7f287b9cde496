// Runs in every frame from document_start. Reports the page's input and the navigations
// the page starts, holding a cancellable one until Surfdeck decides (the background
// answers within 500 ms) and then replaying it. Content scripts cannot be modules, so
// this file stands alone.
((g) => {
    const api = g.browser?.runtime?.id ? g.browser : g.chrome;
    if (!api?.runtime?.id) return;
    // The background sends this script again into pages that were open before the
    // extension started; a page keeps the first copy that still belongs to a live
    // extension (an extension reloaded under the page leaves a dead one behind).
    if (g.surfdeckContentLive?.()) return;
    g.surfdeckContentLive = () => !!api.runtime?.id;
    const SETTINGS_KEY = 'surfdeckSettings';
    const SAFETY_MS = 700;
    const REPLAY_MS = 2000;
    const isTop = g.window === g.window.top;
    // Firefox (the only browser with exportFunction in content scripts) holds its
    // top-level loads in the background's blocking webRequest listener instead.
    const gecko = typeof g.exportFunction === 'function';
    let suppressMenu = false;
    let listening = false;
    let replaying = null;
    let activationSent = false;

    function send(msg) {
        try {
            const p = api.runtime.sendMessage(msg);
            if (p && typeof p.catch === 'function') return p.catch(() => undefined);
            return Promise.resolve(undefined);
        } catch {
            // The extension was reloaded under this page: nothing to tell any more.
            return Promise.resolve(undefined);
        }
    }

    function applySettings(value) {
        if (!value || typeof value !== 'object') return;
        suppressMenu = value.suppressContextMenu === true;
        listening = value.listening === true;
    }
    for (const area of [api.storage?.session, api.storage?.local]) {
        try {
            area?.get(SETTINGS_KEY).then((got) => applySettings(got?.[SETTINGS_KEY]), () => {});
        } catch {
            // The session area is closed to content scripts here; the local copy serves.
        }
    }
    api.storage?.onChanged?.addListener((changes) => {
        if (changes[SETTINGS_KEY]) applySettings(changes[SETTINGS_KEY].newValue);
    });

    if (isTop) {
        for (const type of ['mousedown', 'mouseup', 'contextmenu']) {
            g.window.addEventListener(
                type,
                (e) => {
                    if (!e.isTrusted) return;
                    send({
                        kind: 'page',
                        event: type,
                        button: e.button,
                        buttons: e.buttons,
                        shift: !!e.shiftKey,
                        ctrl: !!e.ctrlKey,
                        alt: !!e.altKey,
                    });
                    if (type === 'contextmenu' && suppressMenu && listening) e.preventDefault();
                },
                true,
            );
        }
        for (const type of ['focus', 'blur']) {
            g.window.addEventListener(type, (e) => {
                if (e.isTrusted && e.target === g.window) {
                    send({
                        kind: 'page',
                        event: type,
                        button: 0,
                        buttons: 0,
                        shift: false,
                        ctrl: false,
                        alt: false
                    });
                }
            });
        }
    }

    // The first user activation of this document: from then on its history entries are
    // not skipped by back and forward.
    function noteActivation(e) {
        if (activationSent || !e.isTrusted) return;
        g.setTimeout(() => {
            const ua = g.navigator?.userActivation;
            if (activationSent || (ua && !ua.hasBeenActive)) return;
            activationSent = true;
            send({kind: 'activated'});
        }, 0);
    }
    for (const type of ['mousedown', 'keydown', 'pointerdown', 'touchend']) {
        g.window.addEventListener(type, noteActivation, true);
    }
    // Sent into a page the user had touched already: that counts from now on.
    if (g.navigator?.userActivation?.hasBeenActive) {
        activationSent = true;
        send({kind: 'activated'});
    }

    const nav = g.navigation;
    if (!nav) return;

    function replay(type, url, key) {
        replaying = {url, until: Date.now() + REPLAY_MS};
        if (type === 'reload')
            g.location.reload();
        else if (type === 'traverse')
            nav.traverseTo(key).finished?.catch(() => {});
        else if (type === 'replace')
            g.location.replace(url);
        else
            g.location.assign(url);
    }

    // A replay is an ordinary location change: a link that withholds its referrer would
    // lose that, so such a link is not held.
    function keepsReferrerToItself(el) {
        if (!el || typeof el.getAttribute !== 'function') return false;
        return /\bnoreferrer\b/i.test(el.getAttribute('rel') || '') ||
            el.hasAttribute('referrerpolicy');
    }

    nav.addEventListener('navigate', (e) => {
        const url = e.destination.url;
        const type = e.navigationType;
        const activated = !!g.navigator?.userActivation?.hasBeenActive;
        if (activated) activationSent = true;
        if (replaying && replaying.url === url && Date.now() < replaying.until) {
            replaying = null;
            send({kind: 'intent', navigationType: type, url, activated});
            return;
        }
        const sameDocument = e.destination.sameDocument;
        if (gecko && isTop && !sameDocument) {
            send({kind: 'intent', navigationType: type, url, activated});
            return;
        }
        // pushState and replaceState carry a state object that cannot be replayed; a form
        // post carries its data; a download is not a page: these are only announced.
        const historyApi =
            sameDocument && !e.hashChange && type !== 'traverse' && type !== 'reload';
        // With no Surfdeck to decide, nothing is held.
        const replayable = listening && e.cancelable && !historyApi && !e.formData &&
            !e.downloadRequest && !keepsReferrerToItself(e.sourceElement) &&
            (type !== 'traverse' || !!e.destination.key);
        if (!replayable) {
            send(
                {kind: 'beforeNavigate', url, cancellable: false, navigationType: type, activated});
            return;
        }
        e.preventDefault();
        const key = e.destination.key;
        let settled = false;
        const settle = (cancel) => {
            if (settled) return;
            settled = true;
            if (!cancel) replay(type, url, key);
        };
        const safety = g.setTimeout(() => settle(false), SAFETY_MS);
        send({kind: 'beforeNavigate', url, cancellable: true, navigationType: type, activated})
            .then((r) => {
                g.clearTimeout(safety);
                settle(r?.cancel === true);
            });
    });
})(globalThis);
