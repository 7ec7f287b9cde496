// Stand-ins for the browser's extension API and for timers, enough to drive the
// background's modules from Node.

export class FakeTimers {
    constructor() {
        this.now = 0;
        this.queue = [];
        this.seq = 0;
    }
    setTimeout(fn, ms = 0) {
        const id = ++this.seq;
        this.queue.push({id, at: this.now + ms, fn});
        return id;
    }
    clearTimeout(id) { this.queue = this.queue.filter((t) => t.id !== id); }
    advance(ms) {
        const end = this.now + ms;
        for (;;) {
            this.queue.sort((a, b) => a.at - b.at);
            const next = this.queue[0];
            if (!next || next.at > end) break;
            this.queue.shift();
            this.now = next.at;
            next.fn();
        }
        this.now = end;
    }
}

export class FakeEvent {
    constructor() { this.listeners = []; }
    addListener(fn) { this.listeners.push(fn); }
    fire(...args) { return this.listeners.map((fn) => fn(...args)); }
}

function events(...names) { return Object.fromEntries(names.map((n) => [n, new FakeEvent()])); }

export class FakePort {
    constructor() {
        this.sent = [];
        this.onMessage = new FakeEvent();
        this.onDisconnect = new FakeEvent();
    }
    postMessage(m) { this.sent.push(structuredClone(m)); }
    drop() { this.onDisconnect.fire(this); }
}

function storageArea() {
    const data = {};
    return {
        data,
        async get(key) { return key in data ? {[key]: structuredClone(data[key])} : {}; },
        async set(items) { Object.assign(data, structuredClone(items)); },
    };
}

// windows: [{id, focused, state, tabs: [{id, url, title, active, status}]}]
export function fakeBrowser({windows = [], hostPresent = true, inPage = {}} = {}) {
    const api = {
        calls: [],
        ports: [],
        inPage,
        runtime: {
            id: 'surfdeck-test',
            lastError: undefined,
            getManifest: () => ({version: '1.0.0'}),
            getURL: (path) => `ext://surfdeck/${path}`,
            connectNative(name) {
                const port = new FakePort();
                port.name = name;
                api.ports.push(port);
                if (!hostPresent) queueMicrotask(() => port.drop());
                return port;
            },
            ...events('onMessage'),
        },
        storage: {session: storageArea(), local: storageArea(), ...events('onChanged')},
        tabs: events(
            'onCreated', 'onUpdated', 'onActivated', 'onRemoved', 'onMoved', 'onAttached',
            'onDetached', 'onReplaced'),
        windows: events('onCreated', 'onRemoved', 'onFocusChanged', 'onBoundsChanged'),
        webNavigation: events(
            'onBeforeNavigate', 'onCommitted', 'onCompleted', 'onErrorOccurred',
            'onHistoryStateUpdated', 'onReferenceFragmentUpdated'),
        webRequest: {
            onBeforeRequest: {
                addListener: (fn, filter, extra) =>
                    Object.assign(api, {webRequestListener: fn, webRequestFilter: [filter, extra]})
            },
        },
        contextMenus: {
            ...events('onClicked'),
            removeAll: (cb) => cb(),
            create: (_p, cb) => cb(),
        },
        scripting: {
            async executeScript({target, func, args = [], files}) {
                if (files) {
                    api.calls.push({method: 'executeScript', target, files});
                    return [];
                }
                api.calls.push({method: 'executeScript', target, func: func.name, args});
                const handler = api.inPage[func.name];
                if (!handler) throw new Error('Cannot access contents of the page');
                return [{result: handler(target, ...args)}];
            },
        },
    };
    const tabList = () => windows.flatMap(
        (w) => w.tabs.map((t, index) => ({windowId: w.id, index, status: 'complete', ...t})));
    Object.assign(api.windows, {
        getAll: async () =>
            windows.map((w) => ({...w, tabs: tabList().filter((t) => t.windowId === w.id)})),
        get: async (id) => ({...windows.find((w) => w.id === id)}),
        update: async (id, props) => {
            api.calls.push({method: 'windows.update', id, props});
            return {id, ...props};
        },
    });
    for (const m of ['update', 'reload', 'goBack', 'goForward']) {
        api.tabs[m] = async (id, props) => {
            api.calls.push({method: `tabs.${m}`, id, props});
            if (api.fail?.[m]) throw new Error(api.fail[m]);
            return {...tabList().find((t) => t.id === id), ...props};
        };
    }
    api.tabs.get = async (id) => tabList().find((t) => t.id === id);
    api.tabs.query = async ({windowId}) => tabList().filter((t) => t.windowId === windowId);
    return api;
}

export const settle = () => new Promise((r) => setImmediate(r));
