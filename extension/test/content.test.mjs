import assert from 'node:assert/strict';
import {readFileSync} from 'node:fs';
import {describe, test} from 'node:test';
import vm from 'node:vm';

import {FakeEvent, FakeTimers, settle} from './fakes.mjs';

const source = readFileSync(new URL('../content.js', import.meta.url), 'utf8');

// Runs content.js in a fresh context. answer(msg) is what the background replies.
async function load(
    {answer = () => undefined,
     gecko = false,
     top = true,
     touched = false,
     stored = { session: {listening: true} }} = {}) {
    const timers = new FakeTimers();
    const messages = [];
    const went = [];
    const listeners = {};
    const win = {addEventListener: (type, fn) => (listeners[type] ??= []).push(fn)};
    const navListeners = [];
    const g = {
        window: win,
        setTimeout: (fn, ms) => timers.setTimeout(fn, ms),
        clearTimeout: (id) => timers.clearTimeout(id),
        navigation: {
            addEventListener: (_t, fn) => navListeners.push(fn),
            traverseTo: (key) => (went.push(['traverse', key]), {})
        },
        location: {
            assign: (u) => went.push(['assign', u]),
            replace: (u) => went.push(['replace', u]),
            reload: () => went.push(['reload'])
        },
        chrome: {
            runtime:
                {id: 'x', sendMessage: async (m) => (messages.push(structuredClone(m)), answer(m))},
            storage: {
                session: {get: async (k) => ({[k]: stored.session})},
                local: {get: async (k) => ({[k]: stored.local})},
                onChanged: new FakeEvent(),
            },
        },
    };
    win.top = top ? win : {};
    if (touched) g.navigator = {userActivation: {hasBeenActive: true}};
    if (gecko) g.exportFunction = () => {};
    vm.runInNewContext(source, Object.assign(g, {globalThis: g}));
    const navigate = (fields) => {
        const e = {
            navigationType: 'push',
            cancelable: true,
            formData: null,
            downloadRequest: null,
            hashChange: false,
            prevented: false,
            preventDefault() { this.prevented = true; },
            ...fields,
            destination:
                {url: 'https://next.test/', sameDocument: false, key: 'k', ...fields.destination},
        };
        navListeners.forEach((fn) => fn(e));
        return e;
    };
    const fire = (type, fields = {}) => {
        const e = {
            isTrusted: true,
            button: 0,
            buttons: 0,
            prevented: false,
            preventDefault() { this.prevented = true; },
            ...fields
        };
        (listeners[type] ?? []).forEach((fn) => fn(e));
        return e;
    };
    await settle();
    // The script sent again into the same page.
    const again = () => vm.runInContext(source, g);
    return {g, timers, messages, went, navigate, fire, again, listeners};
}

describe('navigations the page starts', () => {
    test('a link is held, announced, and replayed when allowed', async () => {
        const c = await load({answer: () => ({cancel: false})});
        const e = c.navigate({});
        assert.equal(e.prevented, true);
        assert.deepEqual(c.messages[0], {
            kind: 'beforeNavigate',
            url: 'https://next.test/',
            cancellable: true,
            navigationType: 'push',
            activated: false,
        });
        await settle();
        assert.deepEqual(c.went, [['assign', 'https://next.test/']]);
        // The replay's own navigate event goes through untouched.
        assert.equal(c.navigate({}).prevented, false);
    });

    test('a cancel leaves the page where it is', async () => {
        const c = await load({answer: () => ({cancel: true})});
        c.navigate({});
        await settle();
        c.timers.advance(1000);
        assert.deepEqual(c.went, []);
    });

    test('a background that never answers does not hold the page', async () => {
        const c = await load({answer: () => new Promise(() => {})});
        c.navigate({navigationType: 'replace'});
        c.timers.advance(700);
        assert.deepEqual(c.went, [['replace', 'https://next.test/']]);
    });

    const onlyAnnounced = [
        ['a form post', {formData: {}}],
        ['a download', {downloadRequest: 'file.zip'}],
        ['a cross-document back', {navigationType: 'traverse', cancelable: false}],
        ['pushState', {destination: {sameDocument: true}}],
        [
            'a link that withholds its referrer', {
                sourceElement: {
                    getAttribute: (a) => (a === 'rel' ? 'noopener noreferrer' : null),
                    hasAttribute: () => false
                }
            }
        ],
    ];
    for (const [name, fields] of onlyAnnounced) {
        test(`${name} is announced as not cancellable`, async () => {
            const c = await load();
            assert.equal(c.navigate(fields).prevented, false);
            assert.equal(c.messages[0].cancellable, false);
        });
    }

    test('in Firefox the top frame leaves its loads to the background', async () => {
        const c = await load({gecko: true});
        assert.equal(c.navigate({}).prevented, false);
        assert.equal(c.messages[0].kind, 'intent');
        assert.equal((await load({gecko: true, top: false})).navigate({}).prevented, true);
    });
});

describe('page input', () => {
    test('the context menu is suppressed by the stored flag alone', async () => {
        const c = await load({stored: {session: {suppressContextMenu: true, listening: true}}});
        await settle();
        const e = c.fire('contextmenu', {button: 2, buttons: 2, ctrlKey: true});
        assert.equal(e.prevented, true);
        assert.deepEqual(c.messages.at(-1), {
            kind: 'page',
            event: 'contextmenu',
            button: 2,
            buttons: 2,
            shift: false,
            ctrl: true,
            alt: false
        });
        c.g.chrome.storage.onChanged.fire(
            {surfdeckSettings: {newValue: {suppressContextMenu: false, listening: true}}});
        assert.equal(c.fire('contextmenu').prevented, false);
    });

    test('the local copy serves where the session area is closed', async () => {
        const c = await load(
            {stored: {session: undefined, local: {suppressContextMenu: true, listening: true}}});
        await settle();
        assert.equal(c.fire('contextmenu').prevented, true);
    });

    test('a frame reports no page input, but reports the first activation once', async () => {
        const c = await load({top: false});
        c.fire('mousedown');
        c.fire('keydown');
        c.timers.advance(1);
        assert.deepEqual(c.messages, [{kind: 'activated'}]);
    });

    test('sent into a page open before the extension: once, and a touched page says so', async () => {
        const c = await load({touched: true});
        assert.deepEqual(c.messages, [{kind: 'activated'}]);
        const listening = c.listeners.mousedown.length;
        c.again();
        await settle();
        assert.equal(c.listeners.mousedown.length, listening, 'a second copy stays out');
        assert.deepEqual(c.messages, [{kind: 'activated'}]);
        // A copy left by an extension reloaded under the page gives way to the new one.
        c.g.chrome.runtime.id = undefined;
        c.g.chrome = {...c.g.chrome, runtime: {id: 'y', sendMessage: async () => undefined}};
        c.again();
        assert.equal(c.listeners.mousedown.length, 2 * listening);
        const fresh = await load();
        assert.deepEqual(fresh.messages, [], 'an untouched page has nothing to say');
    });

    test('with no Surfdeck listening the page keeps its menu and its links', async () => {
        const c = await load({stored: {session: {suppressContextMenu: true, listening: false}}});
        assert.equal(c.fire('contextmenu').prevented, false);
        assert.equal(c.navigate({}).prevented, false);
        assert.equal(c.messages.at(-1).cancellable, false);
    });
});
