// The session history of one tab, kept from webNavigation commits so that canGoBack and
// canGoForward say what tabs.goBack / tabs.goForward will really do. The page's own
// Navigation API cannot tell us: it lists same-origin entries only.
//
// The rule modelled for Chromium (its history-manipulation intervention): when a page
// adds a new entry on its own (script, meta refresh, a link followed without a click)
// while its document never had a user activation (click, key), the entry it leaves, and
// every same-document entry of it, is marked skippable. goBack passes over skippable
// entries; with nothing but skippable entries behind, there is no back at all. A later
// user activation in that document clears the mark. Navigations started from the
// browser's own interface (typed addresses, bookmarks) never mark anything; our own
// tabs.update does, as a page would (measured in Chromium 156). Forward goes to the next
// entry that is not skippable, or the last one when all are.
//
// Entries we never saw (tabs that existed before the extension started, restored or
// duplicated tabs) are kept as "maybe" flags so a button is never grey for a tab that
// may have history; a failed goBack/goForward settles them.

const BROWSER_INITIATED = new Set([
    'typed',
    'auto_bookmark',
    'generated',
    'keyword',
    'keyword_generated',
    'start_page',
]);

const MAX_ENTRIES = 50;

export class TabHistory {
    constructor({skipUnactivated = true} = {}) {
        this.skipUnactivated = skipUnactivated;
        this.entries = [];  // {url, doc, skippable}
        this.index = -1;
        this.activatedDocs = new Set();
        this.nextDoc = 1;
        this.maybeBack = false;
        this.maybeForward = false;
        this.pendingTraverse = null;  // 'back' | 'forward', set by our own calls
        this.needsProbe = false;
        this.commits = 0;
    }

    get current() { return this.entries[this.index]; }

    backIndex() {
        for (let i = this.index - 1; i >= 0; i--) {
            if (!this.skipUnactivated || !this.entries[i].skippable) return i;
        }
        return null;
    }

    forwardIndex() {
        if (this.index + 1 >= this.entries.length) return null;
        for (let i = this.index + 1; i < this.entries.length; i++) {
            if (!this.skipUnactivated || !this.entries[i].skippable) return i;
        }
        return this.entries.length - 1;
    }

    canGoBack() { return this.backIndex() !== null || this.maybeBack; }

    canGoForward() { return this.forwardIndex() !== null || this.maybeForward; }

    // Our goBack/goForward call is about to run: its commit lands on the entry we expect.
    expectTraverse(direction) { this.pendingTraverse = direction; }

    // The browser refused goBack/goForward: whatever we thought was there is not.
    traverseFailed(direction) {
        this.pendingTraverse = null;
        if (direction === 'back') {
            this.maybeBack = false;
            for (let i = 0; i < this.index; i++) this.entries[i].skippable = true;
        } else {
            this.maybeForward = false;
            this.entries.splice(this.index + 1);
        }
    }

    // A user activation (click, key) in the tab's current document, in any of its frames.
    activated() {
        const cur = this.current;
        if (!cur || this.activatedDocs.has(cur.doc)) return false;
        this.activatedDocs.add(cur.doc);
        for (const e of this.entries) {
            if (e.doc === cur.doc) e.skippable = false;
        }
        return true;
    }

    // One commit from webNavigation. `sameDocument` for history-state and fragment
    // updates; `intent` is the page's own navigationType ('push', 'replace', 'reload',
    // 'traverse') when its content script saw the navigation start.
    commit({url, frameId = 0, transition = 'link', qualifiers = [], sameDocument = false, intent}) {
        this.commits++;
        if (qualifiers.includes('forward_back') || intent === 'traverse') {
            this.traverseTo(url, frameId);
            return;
        }
        if (frameId !== 0) {
            // Only a subframe navigation the page or user starts adds an entry.
            if (transition === 'manual_subframe' && intent !== 'replace') {
                this.push(this.current ? this.current.url : url, true, true);
            }
            return;
        }
        if (this.index < 0) {
            this.push(url, false, false);
            // A window a page opened empty keeps its about:blank only until a real page
            // comes; one typed or asked for is an entry like any other.
            if (url === 'about:blank' && !BROWSER_INITIATED.has(transition))
                this.current.initial = true;
            if (transition === 'reload') {
                // First sight of a restored or duplicated tab: its history came with it.
                this.maybeBack = this.maybeForward = true;
                this.needsProbe = true;
            } else if (this.needsProbe) {
                // A tab whose past we could not read yet may well have one.
                this.maybeBack = true;
            }
            return;
        }
        const cur = this.current;
        if (transition === 'reload' || intent === 'reload') {
            cur.url = url;
            if (!sameDocument) this.newDocument(cur);
            return;
        }
        const replace = intent === 'replace' || url === cur.url || (cur.initial && !sameDocument);
        if (replace) {
            cur.url = url;
            cur.initial = false;
            if (!sameDocument) this.newDocument(cur);
            return;
        }
        const byBrowser =
            BROWSER_INITIATED.has(transition) || qualifiers.includes('from_address_bar');
        this.push(url, sameDocument, !byBrowser);
    }

    push(url, sameDocument, byPage) {
        const cur = this.current;
        this.entries.splice(this.index + 1);
        this.maybeForward = false;
        if (cur && byPage && !this.activatedDocs.has(cur.doc)) {
            for (const e of this.entries) {
                if (e.doc === cur.doc) e.skippable = true;
            }
        }
        const doc = sameDocument && cur ? cur.doc : this.nextDoc++;
        const entry = {url, doc, skippable: false};
        this.entries.push(entry);
        // Both browser families keep the last 50 entries of a tab.
        if (this.entries.length > MAX_ENTRIES)
            this.entries.splice(0, this.entries.length - MAX_ENTRIES);
        this.index = this.entries.length - 1;
    }

    newDocument(entry) {
        const old = entry.doc;
        entry.doc = this.nextDoc++;
        for (const e of this.entries) {
            if (e.doc === old) e.doc = entry.doc;
        }
    }

    traverseTo(url, frameId) {
        const direction = this.pendingTraverse;
        this.pendingTraverse = null;
        const expected = direction === 'back' ? this.backIndex() :
            direction === 'forward'           ? this.forwardIndex() :
                                                null;
        let target = null;
        if (expected !== null && (frameId !== 0 || this.entries[expected].url === url)) {
            target = expected;
        } else if (frameId !== 0) {
            target = direction === 'forward' ? this.forwardIndex() : this.backIndex();
        } else {
            target = this.nearest(url, direction);
        }
        if (target !== null) {
            this.index = target;
            return;
        }
        // Into entries we never saw: keep them possible in both directions.
        if (direction === 'forward') {
            this.entries.push({url, doc: this.nextDoc++, skippable: false});
            this.index = this.entries.length - 1;
            this.maybeBack = this.maybeBack || this.index > 0;
            this.maybeForward = true;
        } else {
            this.entries.splice(0, 0, {url, doc: this.nextDoc++, skippable: false});
            this.index = 0;
            this.maybeBack = true;
            this.maybeForward = this.maybeForward || this.entries.length > 1;
        }
    }

    nearest(url, direction) {
        const back = [];
        for (let i = this.index - 1; i >= 0; i--) back.push(i);
        const fwd = [];
        for (let i = this.index + 1; i < this.entries.length; i++) fwd.push(i);
        const order = direction === 'forward' ? [...fwd, ...back] : [...back, ...fwd];
        for (const i of order) {
            if (this.entries[i].url === url) return i;
        }
        return null;
    }

    // What the page itself reported of its history (history.length and, where the
    // Navigation API exists, its same-origin entries) for a tab we did not see grow.
    // `activated`: the page has had a click or key already, before we could see it.
    seed({url, length = 1, entries = null, index = -1, activated = false}) {
        this.needsProbe = false;
        const touched = activated === true || (!!this.current && this.activatedDocs.has(this.current.doc));
        if (entries && index >= 0 && entries.length === length) {
            this.entries = entries.map((u) => ({url: u, doc: this.nextDoc++, skippable: false}));
            this.index = index;
            this.maybeBack = this.maybeForward = false;
            if (touched) this.activated();
            return;
        }
        if (this.index < 0) this.push(url, false, false);
        if (touched) this.activated();
        const unseen = length > (entries ? entries.length : 1);
        const known = entries && index >= 0;
        this.maybeBack = (known && index > 0) || unseen;
        this.maybeForward = (known && index < entries.length - 1) || unseen;
    }

    toJSON() {
        return {
            entries: this.entries,
            index: this.index,
            activatedDocs: [...this.activatedDocs],
            nextDoc: this.nextDoc,
            maybeBack: this.maybeBack,
            maybeForward: this.maybeForward,
        };
    }

    static fromJSON(data, options) {
        const h = new TabHistory(options);
        if (!data || !Array.isArray(data.entries)) return h;
        h.entries = data.entries.filter((e) => e && typeof e.url === 'string');
        h.index = Math.min(Number(data.index) | 0, h.entries.length - 1);
        h.activatedDocs = new Set(Array.isArray(data.activatedDocs) ? data.activatedDocs : []);
        h.nextDoc = Number(data.nextDoc) || h.entries.length + 1;
        h.maybeBack = !!data.maybeBack;
        h.maybeForward = !!data.maybeForward;
        return h;
    }
}
