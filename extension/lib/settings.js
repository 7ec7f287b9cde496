// Surfdeck's settings as the extension keeps them: in storage.session, opened to content
// scripts, so a page's context menu is decided from a flag already in place and never by
// waiting for Surfdeck. Where the session area cannot be opened to content scripts
// (Firefox has no setAccessLevel), the flag is mirrored in storage.local. `listening`
// is ours: whether a Surfdeck is there to decide, so pages are held for nobody.

export const SETTINGS_KEY = 'surfdeckSettings';
const DEFAULTS = {
    suppressContextMenu: false,
    homePage: '',
    listening: false,
};

export function normalizeSettings(msg) {
    const out = {...DEFAULTS};
    if (msg && typeof msg.suppressContextMenu === 'boolean') {
        out.suppressContextMenu = msg.suppressContextMenu;
    }
    if (msg && typeof msg.homePage === 'string') out.homePage = msg.homePage.slice(0, 2048);
    return out;
}

export class SettingsStore {
    constructor(storage) {
        this.storage = storage;
        this.current = {...DEFAULTS};
        this.sessionOpen = false;
    }

    async open() {
        const session = this.storage.session;
        if (session && typeof session.setAccessLevel === 'function') {
            try {
                await session.setAccessLevel({accessLevel: 'TRUSTED_AND_UNTRUSTED_CONTEXTS'});
                this.sessionOpen = true;
            } catch {
                this.sessionOpen = false;
            }
        }
        try {
            const got = await session.get(SETTINGS_KEY);
            if (got && got[SETTINGS_KEY]) this.current = normalizeSettings(got[SETTINGS_KEY]);
        } catch {
            // Nothing stored yet in this browser session.
        }
        await this.write();
    }

    apply(msg) {
        this.current = {...normalizeSettings(msg), listening: this.current.listening};
        return this.write();
    }

    setListening(listening) {
        if (this.current.listening === listening) return Promise.resolve();
        this.current = {...this.current, listening};
        return this.write();
    }

    async write() {
        const item = {[SETTINGS_KEY]: this.current};
        const writes = [this.storage.session.set(item)];
        if (!this.sessionOpen) writes.push(this.storage.local.set(item));
        await Promise.allSettled(writes);
    }
}
