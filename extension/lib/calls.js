// Surfdeck's commands, carried out with the browser's own calls. Each resolves to the
// reply's result or rejects with a short reason that goes back as the reply's error.

const MAX_URL = 2 * 1024 * 1024;

function tabIdOf(args) {
    if (!Number.isInteger(args.tabId) || args.tabId < 0) throw new Error('no tabId');
    return args.tabId;
}

function urlOf(value) {
    if (typeof value !== 'string' || value === '' || value.length > MAX_URL) {
        throw new Error('no url');
    }
    return value;
}

function pixelsOf(value) {
    if (value === undefined || value === null) return null;
    if (!Number.isFinite(value)) throw new Error('margin is not a number');
    return Math.round(value);
}

// A script sent into a tab whose navigation is pending can wait for ever: bounded.
const IN_PAGE_MS = 1500;

export async function inPage(api, tabId, func, args = [], timers = globalThis) {
    let timer;
    const late = new Promise((_resolve, reject) => {
        timer = timers.setTimeout(() => reject(new Error('the page did not answer')), IN_PAGE_MS);
    });
    try {
        const results =
            await Promise.race([api.scripting.executeScript({target: {tabId}, func, args}), late]);
        return results && results[0] ? results[0].result : undefined;
    } finally {
        timers.clearTimeout(timer);
    }
}

// Runs in the page.
function readBody() { return document.body ? document.body.outerHTML : null; }

function writeBody(html) {
    if (!document.body) return false;
    document.body.innerHTML = html;
    return true;
}

function writeMargins(left, top) {
    if (!document.body) return false;
    if (left !== null) document.body.style.marginLeft = `${left}px`;
    if (top !== null) document.body.style.marginTop = `${top}px`;
    return true;
}

function stopLoading() { window.stop(); }

export class Calls {
    // ctx: {api, historyOf(tabId), settings: {current}, fetchPage(args), firefox}
    constructor(ctx) {
        this.ctx = ctx;
        this.stateBeforeFullScreen = new Map();
    }

    async run(method, args) {
        const handler = Object.hasOwn(Calls.methods, method) ? Calls.methods[method] : null;
        if (!handler) throw new Error(`unknown method ${String(method).slice(0, 40)}`);
        return (await handler.call(this, args)) ?? {};
    }

    async navigateTo(tabId, url) { await this.ctx.api.tabs.update(tabId, {url}); }

    async traverse(args, direction) {
        const tabId = tabIdOf(args);
        const history = this.ctx.historyOf(tabId);
        const can = direction === 'back' ? history.canGoBack() : history.canGoForward();
        if (!can) throw new Error(`no ${direction} history`);
        history.expectTraverse(direction);
        try {
            if (direction === 'back')
                await this.ctx.api.tabs.goBack(tabId);
            else
                await this.ctx.api.tabs.goForward(tabId);
        } catch (e) {
            history.traverseFailed(direction);
            this.ctx.historyChanged?.(tabId);
            throw e;
        }
    }

    async homePage() {
        const {api, settings, firefox} = this.ctx;
        if (firefox && api.browserSettings?.homepageOverride) {
            const got = await api.browserSettings.homepageOverride.get({});
            // Firefox keeps several home pages joined by '|'; the first is the one opened.
            const first = String(got?.value ?? '').split('|')[0].trim();
            // Its own pages (about:home, about:newtab) are closed to extensions.
            if (first && (!/^about:/i.test(first) || first === 'about:blank')) return first;
        }
        return settings.current.homePage;
    }
}

Calls.methods = {
    async navigate(args) { await this.navigateTo(tabIdOf(args), urlOf(args.url)); },
    async reload(args) { await this.ctx.api.tabs.reload(tabIdOf(args)); },
    goBack(args) { return this.traverse(args, 'back'); },
    goForward(args) { return this.traverse(args, 'forward'); },
    async stop(args) {
        const tabId = tabIdOf(args);
        const {api, firefox} = this.ctx;
        // In Chromium a load the browser started (typed, tabs.update) is not the page's to
        // stop: loading the committed address again replaces it. Everything else, and
        // everything in Firefox, window.stop() ends.
        if (!firefox && this.ctx.browserLoadPending?.(tabId)) {
            const tab = await api.tabs.get(tabId);
            const committed = tab.url || this.ctx.historyOf(tabId).current?.url;
            if (committed) {
                await this.navigateTo(tabId, committed);
                return;
            }
        }
        await inPage(api, tabId, stopLoading, [], this.ctx.timers);
    },
    async home(args) {
        const tabId = tabIdOf(args);
        const url = await this.homePage();
        if (!url) throw new Error('no home page set');
        await this.navigateTo(tabId, url);
    },
    async activate(args) {
        const tab = await this.ctx.api.tabs.update(tabIdOf(args), {active: true});
        await this.ctx.api.windows.update(tab.windowId, {focused: true});
    },
    async setFullScreen(args) {
        if (!Number.isInteger(args.windowId)) throw new Error('no windowId');
        const {windows} = this.ctx.api;
        if (args.on) {
            const win = await windows.get(args.windowId);
            if (win.state !== 'fullscreen') this.stateBeforeFullScreen.set(win.id, win.state);
            await windows.update(args.windowId, {state: 'fullscreen'});
        } else {
            const state = this.stateBeforeFullScreen.get(args.windowId) || 'normal';
            this.stateBeforeFullScreen.delete(args.windowId);
            await windows.update(args.windowId, {state});
        }
    },
    async getBody(args) {
        const html = await inPage(this.ctx.api, tabIdOf(args), readBody, [], this.ctx.timers);
        if (typeof html !== 'string') throw new Error('the page has no body');
        return {html};
    },
    async setBody(args) {
        if (typeof args.html !== 'string') throw new Error('no html');
        const ok =
            await inPage(this.ctx.api, tabIdOf(args), writeBody, [args.html], this.ctx.timers);
        if (!ok) throw new Error('the page has no body');
    },
    async setMargins(args) {
        const left = pixelsOf(args.left);
        const top = pixelsOf(args.top);
        const ok =
            await inPage(this.ctx.api, tabIdOf(args), writeMargins, [left, top], this.ctx.timers);
        if (!ok) throw new Error('the page has no body');
    },
    fetchPage(args) {
        if (typeof args.html !== 'string') urlOf(args.url);
        return this.ctx.fetchPage(args);
    },
};
