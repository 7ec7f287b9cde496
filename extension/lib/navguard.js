// Navigations announced to Surfdeck before they happen. A cancellable one waits for
// Surfdeck's decision, at most DECISION_MS, then goes ahead on its own: a page is never
// held up by a Surfdeck that is slow or gone.

export const DECISION_MS = 500;
const REMEMBER_MS = 5000;

export class NavGuard {
    // onUnanswered() runs when a decision did not come in time.
    constructor({send, timers = globalThis, now = () => Date.now(), onUnanswered = () => {}}) {
        this.send = send;
        this.onUnanswered = onUnanswered;
        this.timers = timers;
        this.now = now;
        this.nextId = 1;
        this.pending = new Map();  // id -> {resolve, timer}
        this.recent = [];          // {tabId, frameId, url, at}: announced by the page already
    }

    // Resolves to true when the navigation is to be cancelled.
    announce({tabId, frameId, url, cancellable}) {
        const id = this.nextId++;
        const record = this.remember(tabId, frameId, url);
        const sent = this.send({type: 'beforeNavigate', id, tabId, frameId, url, cancellable});
        if (!cancellable || !sent) return Promise.resolve(false);
        return new Promise((resolve) => {
            const timer = this.timers.setTimeout(() => {
                this.finish(id, false);
                this.onUnanswered();
            }, DECISION_MS);
            this.pending.set(id, {resolve, timer, record});
        });
    }

    decide(msg) {
        if (Number.isInteger(msg.id)) this.finish(msg.id, msg.cancel === true);
    }

    finish(id, cancel) {
        const p = this.pending.get(id);
        if (!p) return;
        this.pending.delete(id);
        this.timers.clearTimeout(p.timer);
        // A cancelled navigation never reaches the browser's own report.
        if (cancel) this.recent = this.recent.filter((r) => r !== p.record);
        p.resolve(cancel);
    }

    // Surfdeck is gone: nothing it was asked about waits any longer.
    releaseAll() {
        for (const id of [...this.pending.keys()]) this.finish(id, false);
    }

    remember(tabId, frameId, url) {
        const at = this.now();
        this.recent = this.recent.filter((r) => at - r.at < REMEMBER_MS);
        const record = {tabId, frameId, url, at};
        this.recent.push(record);
        return record;
    }

    // True (once) when the page's own announcement already covered this navigation.
    takeAnnounced(tabId, frameId, url) {
        const at = this.now();
        const i = this.recent.findIndex(
            (r) => r.tabId === tabId && r.frameId === frameId && r.url === url &&
                at - r.at < REMEMBER_MS,
        );
        if (i < 0) return false;
        this.recent.splice(i, 1);
        return true;
    }
}
