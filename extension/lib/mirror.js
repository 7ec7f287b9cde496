// What Surfdeck knows of this browser's windows and tabs, kept here too so that only
// real changes go out, one small message each.

export function tabView(tab, history) {
    return {
        id: tab.id,
        windowId: tab.windowId,
        index: tab.index,
        active: !!tab.active,
        url: tab.url || tab.pendingUrl || '',
        title: tab.title || '',
        status: tab.status === 'loading' ? 'loading' : 'complete',
        canGoBack: history ? history.canGoBack() : false,
        canGoForward: history ? history.canGoForward() : false,
    };
}

function windowBase(win) {
    return {
        id: win.id,
        focused: !!win.focused,
        state: win.state || 'normal',
        type: win.type || 'normal',
        left: win.left | 0,
        top: win.top | 0,
        width: win.width | 0,
        height: win.height | 0,
    };
}

export class Mirror {
    // historyOf(tabId) gives the tab's TabHistory or null; send(msg) goes to the host.
    constructor({historyOf, send}) {
        this.historyOf = historyOf;
        this.send = send;
        this.tabs = new Map();     // id -> {raw, json}
        this.windows = new Map();  // id -> {base, json}
    }

    windowView(id) {
        const w = this.windows.get(id);
        if (!w) return null;
        let title = '';
        for (const {raw} of this.tabs.values()) {
            if (raw.windowId === id && raw.active) title = raw.title || '';
        }
        return {...w.base, title};
    }

    // The whole picture from windows.getAll({populate: true}); forgets everything else.
    reset(allWindows) {
        this.tabs.clear();
        this.windows.clear();
        for (const win of allWindows) {
            this.windows.set(win.id, {base: windowBase(win), json: ''});
            for (const tab of win.tabs || []) this.tabs.set(tab.id, {raw: tab, json: ''});
        }
        const windows = [];
        for (const win of allWindows) {
            const view = this.windowView(win.id);
            this.windows.get(win.id).json = JSON.stringify(view);
            view.tabs = [...this.tabs.values()]
                            .filter(({raw}) => raw.windowId === win.id)
                            .sort((a, b) => a.raw.index - b.raw.index)
                            .map((t) => {
                                const v = tabView(t.raw, this.historyOf(t.raw.id));
                                t.json = JSON.stringify(v);
                                return v;
                            });
            windows.push(view);
        }
        return {type: 'state', windows};
    }

    emitTab(id) {
        const t = this.tabs.get(id);
        if (!t) return;
        const view = tabView(t.raw, this.historyOf(id));
        const json = JSON.stringify(view);
        if (json === t.json) return;
        t.json = json;
        this.send({type: 'tab', tab: view});
    }

    emitWindow(id) {
        const w = this.windows.get(id);
        const view = this.windowView(id);
        if (!view) return;
        const json = JSON.stringify(view);
        if (json === w.json) return;
        w.json = json;
        this.send({type: 'window', window: view});
    }

    // A tab as the tabs API reports it now (created, updated, moved, activated).
    tab(raw) {
        const old = this.tabs.get(raw.id);
        if (old && old.raw.windowId !== raw.windowId) this.emitWindow(old.raw.windowId);
        if (!this.windows.has(raw.windowId)) {
            this.windows.set(raw.windowId, {base: {...windowBase({id: raw.windowId})}, json: ''});
        }
        this.tabs.set(raw.id, {raw, json: old ? old.json : ''});
        this.emitTab(raw.id);
        this.emitWindow(raw.windowId);
    }

    // A field changed that the tabs API does not report itself (history, our own patch).
    patchTab(id, fields) {
        const t = this.tabs.get(id);
        if (!t) return;
        t.raw = {...t.raw, ...fields};
        this.emitTab(id);
        if ('title' in fields || 'active' in fields) this.emitWindow(t.raw.windowId);
    }

    activeTabOf(windowId) {
        for (const {raw} of this.tabs.values()) {
            if (raw.windowId === windowId && raw.active) return raw.id;
        }
        return -1;
    }

    activated(tabId, windowId) {
        for (const [id, t] of this.tabs) {
            if (t.raw.windowId === windowId && t.raw.active && id !== tabId) {
                this.patchTab(id, {active: false});
            }
        }
        this.patchTab(tabId, {active: true});
    }

    removeTab(tabId, windowId) {
        if (!this.tabs.delete(tabId)) return;
        this.send({type: 'tabRemoved', tabId, windowId});
    }

    window(raw) {
        const old = this.windows.get(raw.id);
        this.windows.set(raw.id, {base: windowBase(raw), json: old ? old.json : ''});
        this.emitWindow(raw.id);
    }

    focus(windowId) {
        for (const [id, w] of this.windows) {
            const focused = id === windowId;
            if (w.base.focused !== focused) {
                w.base = {...w.base, focused};
                this.emitWindow(id);
            }
        }
        const tabId = windowId === -1 ? -1 : this.activeTabOf(windowId);
        this.send({type: 'focus', windowId, tabId});
    }

    removeWindow(windowId) {
        for (const [id, t] of this.tabs) {
            if (t.raw.windowId === windowId) this.removeTab(id, windowId);
        }
        if (this.windows.delete(windowId)) this.send({type: 'windowRemoved', windowId});
    }
}
