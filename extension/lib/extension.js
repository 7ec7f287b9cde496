// The background's whole behaviour, over an injected extension API object (chrome or
// browser), so it runs the same in Chromium's service worker, Firefox's event page and
// Node's test runner. Listeners are added synchronously: a woken service worker only
// delivers events to listeners that exist after its first turn.

import {Calls, inPage} from './calls.js';
import {TabHistory} from './history.js';
import {identify} from './identity.js';
import {probeHistory, readSelection} from './inpage.js';
import {HostLink} from './link.js';
import {Mirror} from './mirror.js';
import {NavGuard} from './navguard.js';
import {SettingsStore} from './settings.js';

export const MENU_ID = 'surfdeck-save-text';
const HISTORY_KEY = 'surfdeckHistory';
const INTENT_MS = 3000;
const PERSIST_MS = 500;
const FIREFOX_ABORTED = 'Error code 2152398850';  // NS_BINDING_ABORTED
const HANDOVER_MS = 500;
const UNSAVED_MS = 30000;

export function startExtension(api, env = {}) {
    const timers = env.timers ?? globalThis;
    const warn = env.warn ?? console.warn;
    const firefox = !!env.firefox;
    let contentSent = false;  // into the pages open before we started, once
    const histories = new Map();
    const intents = new Map();    // "tab:frame" -> {type, url, at}
    const handovers = new Map();  // "tab:frame" -> {url, timer}: Firefox's held-back aborts
    const cancelled = new Set();  // "tab url": Firefox loads Surfdeck cancelled
    const requests = new Set();   // Firefox request ids already announced
    let persistTimer = null;
    let who = {browser: firefox ? 'firefox' : 'chromium', product: ''};

    const settings = new SettingsStore(api.storage);
    const mirror =
        new Mirror({historyOf: (id) => histories.get(id) ?? null, send: (m) => link.send(m)});
    // Whether a Surfdeck answers behind the bridge: the bridge runs as long as the browser
    // does, so an open port alone says nothing. Anything Surfdeck sends says yes; a
    // decision that never comes says no, and pages stop being held until it speaks again.
    let heard = false;
    let unsaved = [];  // texts to save, waiting for Surfdeck to start
    let unsavedTimer = null;
    const hearing = (yes) => {
        heard = yes;
        settings.setListening(yes).catch(() => {});
        if (!yes) return;
        for (const text of unsaved) link.send({type: 'saveText', text});
        unsaved = [];
        timers.clearTimeout(unsavedTimer);
        unsavedTimer = null;
    };
    const guard = new NavGuard({
        send: (m) => link.send(m),
        timers,
        now: env.now,
        onUnanswered: () => hearing(false),
    });
    const announce = (tabId, frameId, url, cancellable) =>
        guard.announce({tabId, frameId, url, cancellable: cancellable && heard});

    function historyOf(tabId) {
        let h = histories.get(tabId);
        if (!h) {
            h = new TabHistory({skipUnactivated: !firefox});
            histories.set(tabId, h);
        }
        return h;
    }

    function historyChanged(tabId) {
        mirror.emitTab(tabId);
        if (persistTimer !== null) return;
        persistTimer = timers.setTimeout(() => {
            persistTimer = null;
            const all = {};
            for (const [id, h] of histories) all[id] = h.toJSON();
            api.storage.session.set({[HISTORY_KEY]: all}).catch(() => {});
        }, PERSIST_MS);
    }

    const browserLoads = new Set();  // tabs with a load the browser started, not committed
    const calls = new Calls({
        api,
        timers,
        browserLoadPending: (tabId) => browserLoads.has(tabId),
        historyOf,
        historyChanged,
        settings,
        firefox,
        fetchPage: env.fetchPage ?? (() => Promise.reject(new Error('cannot fetch pages here'))),
    });

    const link = new HostLink(api.runtime, {
        timers,
        warn,
        onConnect: () => ({
            type: 'hello',
            protocol: 1,
            browser: who.browser,
            product: who.product,
            extensionVersion: api.runtime.getManifest().version,
        }),
        onOpen: () => {
            hearing(false);
            pushState().catch((e) => warn(`Surfdeck: could not read the windows: ${e}`));
        },
        onMessage: (msg) => {
            if (!heard) hearing(true);
            onHostMessage(msg);
        },
        onClose: () => {
            hearing(false);
            guard.releaseAll();
        },
    });

    // Asks a page we did not see grow what it knows of its history. A tab that is still
    // loading may not run a script until it commits, so such a tab is asked again when
    // its page completes.
    const probing = new Set();
    async function probe(tabId) {
        if (probing.has(tabId)) return;
        probing.add(tabId);
        const h = historyOf(tabId);
        const seen = h.commits;
        try {
            const result = await inPage(api, tabId, probeHistory, [], timers);
            // An answer from before a newer commit is stale: ask again when that page is done.
            if (h.commits !== seen) return;
            if (result) h.seed(result);
            h.needsProbe = false;
        } catch (e) {
            // Pages the extension may not script keep what we know; a busy one is asked later.
            if (!/did not answer/.test(String(e?.message))) h.needsProbe = false;
        } finally {
            probing.delete(tabId);
        }
        historyChanged(tabId);
    }

    async function pushState() {
        const all = await api.windows.getAll({populate: true});
        const unseen = [];
        for (const win of all) {
            for (const tab of win.tabs ?? []) {
                if (histories.has(tab.id)) continue;
                // A tab still on its way to its first page starts with its first commit.
                const h = historyOf(tab.id);
                if (tab.url) h.commit({url: tab.url, transition: 'typed'});
                h.needsProbe = true;
                if (tab.status === 'complete') unseen.push(tab.id);
            }
        }
        link.send(mirror.reset(all));
        for (const id of unseen) probe(id);
        if (!contentSent && !firefox) {
            contentSent = true;
            for (const win of all) for (const tab of win.tabs ?? []) sendContentScript(tab.id);
        }
    }

    // Chromium puts the content script only into pages loaded after the extension started
    // (Firefox into open pages too): pages open before it, when the extension was just
    // installed, updated or reloaded, get it now. The script runs once per page.
    function sendContentScript(tabId) {
        try {
            api.scripting.executeScript({target: {tabId, allFrames: true}, files: ['content.js']})
                ?.catch?.(() => {});  // pages closed to extensions, discarded tabs
        } catch {
            // the same, thrown at once
        }
    }

    function reply(id, ok, payload) {
        const msg = ok ? {type: 'reply', id, ok: true, result: payload} :
                         {type: 'reply', id, ok: false, error: payload};
        // Whatever happens, the caller gets an answer rather than its time-out.
        if (!link.send(msg) && link.connected) {
            link.send({type: 'reply', id, ok: false, error: 'the answer is too large'});
        }
    }

    function onHostMessage(msg) {
        switch (msg.type) {
            case 'call':
                if (!Number.isInteger(msg.id) || msg.id <= 0) return;
                calls.run(msg.method, msg)
                    .then(
                        (result) => reply(msg.id, true, result),
                        (e) => reply(msg.id, false, String(e?.message ?? e).slice(0, 500)),
                    );
                return;
            case 'decision':
                guard.decide(msg);
                return;
            case 'settings':
                settings.apply(msg);
                return;
            case 'resync':
                pushState().catch((e) => warn(`Surfdeck: could not read the windows: ${e}`));
                return;
            default:
                // Newer Surfdecks may send more.
                return;
        }
    }

    function takeIntent(tabId, frameId, url) {
        const key = `${tabId}:${frameId}`;
        const i = intents.get(key);
        intents.delete(key);
        const now = env.now ? env.now() : Date.now();
        return i && i.url === url && now - i.at < INTENT_MS ? i.type : undefined;
    }

    function committed(d, sameDocument) {
        if (d.tabId < 0) return;
        const handover = handovers.get(`${d.tabId}:${d.frameId}`);
        if (handover && handover.url === d.url) {
            timers.clearTimeout(handover.timer);
            handovers.delete(`${d.tabId}:${d.frameId}`);
        }
        if (d.frameId === 0) browserLoads.delete(d.tabId);
        const h = historyOf(d.tabId);
        h.commit({
            url: d.url,
            frameId: d.frameId,
            transition: d.transitionType,
            qualifiers: d.transitionQualifiers ?? [],
            sameDocument,
            intent: takeIntent(d.tabId, d.frameId, d.url),
        });
        link.send({
            type: 'committed',
            tabId: d.tabId,
            frameId: d.frameId,
            url: d.url,
            transition: d.transitionType ?? ''
        });
        if (d.frameId === 0) mirror.patchTab(d.tabId, {url: d.url});
        historyChanged(d.tabId);
        // A same-document navigation has nothing more to load.
        if (sameDocument)
            link.send({type: 'completed', tabId: d.tabId, frameId: d.frameId, url: d.url});
    }

    // Messages from our content scripts and our popup. The sender is checked: pages
    // cannot reach this listener, but other extensions' ids are refused anyway.
    function onRuntimeMessage(msg, sender, sendResponse) {
        if (!msg || typeof msg !== 'object' || sender.id !== api.runtime.id) return false;
        const tabId = sender.tab ? sender.tab.id : -1;
        const frameId = sender.frameId ?? 0;
        // A document the user touched in ways we never saw as events still says so when
        // it navigates.
        const activated = msg.kind === 'activated' || msg.activated === true;
        if (activated && tabId >= 0 && historyOf(tabId).activated()) {
            historyChanged(tabId);
        }
        switch (msg.kind) {
            case 'beforeNavigate': {
                if (tabId < 0 || typeof msg.url !== 'string') return false;
                intents.set(
                    `${tabId}:${frameId}`,
                    {type: msg.navigationType, url: msg.url, at: env.now ? env.now() : Date.now()});
                announce(tabId, frameId, msg.url, msg.cancellable === true)
                    .then((cancel) => sendResponse({cancel}));
                return true;
            }
            case 'intent':
                if (tabId >= 0 && typeof msg.url === 'string') {
                    intents.set(`${tabId}:${frameId}`, {
                        type: msg.navigationType,
                        url: msg.url,
                        at: env.now ? env.now() : Date.now()
                    });
                }
                return false;
            case 'activated':
                return false;
            case 'page':
                if (tabId >= 0 && frameId === 0) {
                    const {event, button, buttons, shift, ctrl, alt} = msg;
                    link.send({
                        type: 'page',
                        tabId,
                        event,
                        button,
                        buttons,
                        shift: !!shift,
                        ctrl: !!ctrl,
                        alt: !!alt
                    });
                }
                return false;
            case 'launch':
            case 'openFolder':
                // Only our own pages (the pop-up) may start Surfdeck, never a page's script.
                if (!String(sender.url ?? '').startsWith(api.runtime.getURL(''))) return false;
                link.connect();
                link.send({type: msg.kind});
                return false;
            default:
                return false;
        }
    }

    async function saveSelection(info, tab) {
        let text = '';
        try {
            const frameIds = [info.frameId ?? 0];
            const [res] = await api.scripting.executeScript(
                {target: {tabId: tab.id, frameIds}, func: readSelection});
            text = typeof res?.result === 'string' ? res.result : '';
        } catch {
            text = '';
        }
        if (!text) text = info.selectionText ?? '';
        if (!text) return;
        link.connect();
        if (heard) {
            link.send({type: 'saveText', text});
            return;
        }
        // The bridge drops what comes while no Surfdeck listens: start it, and keep the
        // text until it speaks.
        unsaved.push(text);
        link.send({type: 'launch'});
        if (unsavedTimer === null) {
            unsavedTimer = timers.setTimeout(() => {
                unsavedTimer = null;
                if (unsaved.length)
                    warn(`Surfdeck: ${unsaved.length} saved text(s) lost, Surfdeck did not start`);
                unsaved = [];
            }, UNSAVED_MS);
        }
    }

    const {tabs, windows, webNavigation} = api;
    tabs.onCreated.addListener((tab) => mirror.tab(tab));
    tabs.onUpdated.addListener((_id, _change, tab) => mirror.tab(tab));
    tabs.onActivated.addListener(({tabId, windowId}) => {
        mirror.activated(tabId, windowId);
        if (mirror.windows.get(windowId)?.base.focused) mirror.focus(windowId);
    });
    tabs.onRemoved.addListener((tabId, {windowId}) => {
        histories.delete(tabId);
        browserLoads.delete(tabId);
        mirror.removeTab(tabId, windowId);
    });
    const refreshWindow = (windowId) =>
        tabs.query({windowId}).then((list) => list.forEach((t) => mirror.tab(t)), () => {});
    tabs.onMoved.addListener((_id, {windowId}) => refreshWindow(windowId));
    tabs.onAttached.addListener((_id, {newWindowId}) => refreshWindow(newWindowId));
    tabs.onDetached.addListener((_id, {oldWindowId}) => refreshWindow(oldWindowId));
    tabs.onReplaced?.addListener((added, removed) => {
        if (histories.has(removed)) histories.set(added, histories.get(removed));
        histories.delete(removed);
        const old = mirror.tabs.get(removed);
        if (old) mirror.removeTab(removed, old.raw.windowId);
        tabs.get(added).then((t) => mirror.tab(t), () => {});
    });
    windows.onCreated.addListener((win) => mirror.window(win));
    windows.onRemoved.addListener((id) => mirror.removeWindow(id));
    windows.onFocusChanged.addListener((id) => mirror.focus(id));
    windows.onBoundsChanged?.addListener((win) => mirror.window(win));

    // A page prerendered, or kept in the back-forward cache, is not what the tab shows:
    // its events come again, as the tab's own, when it is shown.
    const shown = (d) => !d.documentLifecycle || d.documentLifecycle === 'active';
    webNavigation.onBeforeNavigate.addListener((d) => {
        if (!shown(d)) return;
        if (d.tabId < 0 || guard.takeAnnounced(d.tabId, d.frameId, d.url)) return;
        if (d.frameId === 0) browserLoads.add(d.tabId);
        // Firefox's top-level loads over http(s) are announced, cancellably, by webRequest.
        if (firefox && d.frameId === 0 && /^https?:/i.test(d.url)) return;
        announce(d.tabId, d.frameId, d.url, false);
    });
    webNavigation.onCommitted.addListener((d) => shown(d) && committed(d, false));
    webNavigation.onHistoryStateUpdated.addListener((d) => shown(d) && committed(d, true));
    webNavigation.onReferenceFragmentUpdated.addListener((d) => shown(d) && committed(d, true));
    webNavigation.onCompleted.addListener((d) => {
        if (d.tabId < 0 || !shown(d)) return;
        link.send({type: 'completed', tabId: d.tabId, frameId: d.frameId, url: d.url});
        if (d.frameId === 0 && histories.get(d.tabId)?.needsProbe) probe(d.tabId);
    });
    webNavigation.onErrorOccurred.addListener((d) => {
        if (d.tabId < 0 || !shown(d)) return;
        if (d.frameId === 0) browserLoads.delete(d.tabId);
        // A load Surfdeck cancelled did not fail: it never was.
        if (cancelled.delete(`${d.tabId} ${d.url}`)) return;
        const msg = {
            type: 'navError',
            tabId: d.tabId,
            frameId: d.frameId,
            url: d.url,
            error: String(d.error ?? ''),
        };
        // Firefox reports its own hand-over of a load between processes as an aborted
        // load just before that load commits: held back, and dropped when the commit comes.
        if (firefox && msg.error === FIREFOX_ABORTED) {
            const key = `${d.tabId}:${d.frameId}`;
            const timer = timers.setTimeout(() => {
                handovers.delete(key);
                link.send(msg);
            }, HANDOVER_MS);
            handovers.set(key, {url: d.url, timer});
            return;
        }
        link.send(msg);
    });

    if (firefox && api.webRequest?.onBeforeRequest) {
        // A blocking listener that returns a Promise holds any top-level load, typed ones
        // included, until Surfdeck decides; a cancel leaves the old page in place.
        api.webRequest.onBeforeRequest.addListener(
            (d) => {
                if (d.tabId < 0 || !link.connected || requests.has(d.requestId)) return {};
                if (requests.size > 1000) requests.clear();
                requests.add(d.requestId);
                const held = announce(d.tabId, 0, d.url, true);
                if (!heard) return {};
                return held.then((cancel) => {
                    if (cancel) cancelled.add(`${d.tabId} ${d.url}`);
                    return {cancel};
                });
            },
            {urls: ['<all_urls>'], types: ['main_frame']},
            ['blocking'],
        );
    }

    api.runtime.onMessage.addListener(onRuntimeMessage);
    api.contextMenus.onClicked.addListener((info, tab) => {
        if (info.menuItemId === MENU_ID && tab) saveSelection(info, tab);
    });
    api.contextMenus.removeAll(() => {
        void api.runtime.lastError;
        api.contextMenus.create(
            {id: MENU_ID, title: 'Save text to file', contexts: ['selection']}, () => {
                void api.runtime.lastError;
            });
    });

    const ready = (async () => {
        try {
            who = await identify(api, env.navigator);
        } catch {
            // The defaults name the family at least.
        }
        await settings.open();
        try {
            const got = await api.storage.session.get(HISTORY_KEY);
            for (const [id, data] of Object.entries(got?.[HISTORY_KEY] ?? {})) {
                if (!histories.has(Number(id))) {
                    histories.set(
                        Number(id), TabHistory.fromJSON(data, {skipUnactivated: !firefox}));
                }
            }
        } catch {
            // A first start in this browser session.
        }
        link.connect();
    })();

    return {
        link,
        mirror,
        guard,
        histories,
        settings,
        calls,
        ready,
        onHostMessage,
        onRuntimeMessage
    };
}
