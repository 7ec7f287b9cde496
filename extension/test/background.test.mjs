import assert from 'node:assert/strict';
import {describe, test} from 'node:test';

import {MENU_ID, startExtension} from '../lib/extension.js';

import {fakeBrowser, FakeTimers, settle} from './fakes.mjs';

const page = (id, url, extra = {}) => ({id, url, title: url, active: false, ...extra});

async function started(options = {}) {
    const api = fakeBrowser({
        windows: [{
            id: 1,
            focused: true,
            state: 'normal',
            tabs: [page(10, 'https://a.test/', {active: true}), page(11, 'https://b.test/')]
        }],
        inPage: {probeHistory: () => null, ...options.inPage},
        hostPresent: options.hostPresent ?? true,
    });
    const timers = new FakeTimers();
    const warnings = [];
    const ext = startExtension(api, {
        timers,
        now: () => timers.now,
        warn: (w) => warnings.push(w),
        navigator: {},
        ...options.env
    });
    await ext.ready;
    await settle();
    const port = api.ports.at(-1);
    const host = (msg) => port.onMessage.fire(msg);
    // Surfdeck behind the bridge speaks first, as it does after every hello.
    if (options.surfdeck ?? true)
        host({type: 'settings', suppressContextMenu: false, homePage: ''});
    const sent = (type) => port.sent.filter((m) => m.type === type);
    return {api, ext, timers, warnings, port, host, sent};
}

describe('connection', () => {
    test('says hello first, then the whole picture', async () => {
        const {port} = await started();
        assert.equal(port.name, 'org.surfdeck.bridge');
        assert.deepEqual(port.sent.map((m) => m.type), ['hello', 'state']);
        assert.equal(port.sent[0].protocol, 1);
        const [win] = port.sent[1].windows;
        assert.deepEqual(
            win.tabs.map((t) => [t.id, t.active, t.canGoBack]),
            [[10, true, false], [11, false, false]]);
        assert.equal(win.title, 'https://a.test/');
    });

    test('pages open before the extension get its content script, once', async () => {
        const {api, timers} = await started();
        const sentIn = () => api.calls.filter((c) => c.files).map((c) => c.target);
        const expected = [{tabId: 10, allFrames: true}, {tabId: 11, allFrames: true}];
        assert.deepEqual(sentIn(), expected);
        // The bridge went away and came back: the whole picture again, the pages not.
        const first = api.ports.at(-1);
        first.drop();
        while (api.ports.at(-1) === first) timers.advance(1000);
        await settle();
        assert.deepEqual(api.ports.at(-1).sent.map((m) => m.type), ['hello', 'state']);
        assert.deepEqual(sentIn(), expected);
        const gecko = await started({env: {firefox: true}});
        assert.deepEqual(gecko.api.calls.filter((c) => c.files), [], 'Firefox does it itself');
    });

    test('an absent host is tried again, less and less often, at most every 30 s', async () => {
        const {api, timers} = await started({hostPresent: false, surfdeck: false});
        const waits = [];
        let last = timers.now;
        for (let i = 0; i < 8; i++) {
            const before = api.ports.length;
            while (api.ports.length === before) timers.advance(1000);
            waits.push(timers.now - last);
            last = timers.now;
            await settle();
        }
        assert.deepEqual(waits, [1000, 2000, 4000, 8000, 16000, 30000, 30000, 30000]);
    });

    test(
        'a message over the limit is refused with a warning, and a call still gets its answer',
        async () => {
            const huge = 'x'.repeat(9 * 1024 * 1024);
            const {host, sent, warnings} = await started({inPage: {readBody: () => huge}});
            host({type: 'call', id: 7, method: 'getBody', tabId: 10});
            await settle();
            assert.deepEqual(
                sent('reply'),
                [{type: 'reply', id: 7, ok: false, error: 'the answer is too large'}]);
            assert.equal(warnings.length, 1);
        });
});

describe('calls', () => {
    const cases = [
        ['navigate', {tabId: 10, url: 'https://c.test/'}, 'tabs.update', true],
        ['navigate without an address', {tabId: 10}, null, false],
        ['goBack with no history', {tabId: 10}, null, false],
        ['home with no home page', {tabId: 10}, null, false],
        ['frobnicate', {tabId: 10}, null, false],
    ];
    for (const [name, args, expectCall, ok] of cases) {
        test(name, async () => {
            const {api, host, sent} = await started();
            host({type: 'call', id: 3, method: name.split(' ')[0], ...args});
            await settle();
            const [r] = sent('reply');
            assert.equal(r.ok, ok, r.error);
            if (expectCall) assert.ok(api.calls.some((c) => c.method === expectCall));
        });
    }

    test('a page that never answers fails the call instead of holding it', async () => {
        const {api, host, sent, timers} = await started();
        api.scripting.executeScript = () => new Promise(() => {});
        host({type: 'call', id: 8, method: 'getBody', tabId: 10});
        await settle();
        timers.advance(1500);
        await settle();
        assert.deepEqual(
            sent('reply'), [{type: 'reply', id: 8, ok: false, error: 'the page did not answer'}]);
    });

    test('stop replaces a load the browser started, and stops one the page started', async () => {
        const {api, host} = await started({inPage: {stopLoading: () => undefined}});
        api.webNavigation.onBeforeNavigate.fire(
            {tabId: 10, frameId: 0, url: 'https://typed.test/'});
        host({type: 'call', id: 9, method: 'stop', tabId: 10});
        await settle();
        assert.deepEqual(
            api.calls.at(-1), {method: 'tabs.update', id: 10, props: {url: 'https://a.test/'}});
        api.webNavigation.onErrorOccurred.fire(
            {tabId: 10, frameId: 0, url: 'https://typed.test/', error: 'net::ERR_ABORTED'});
        host({type: 'call', id: 10, method: 'stop', tabId: 10});
        await settle();
        assert.equal(api.calls.at(-1).func, 'stopLoading');
    });

    test('Firefox goes to its own home page, or ours where its own is closed to us', async () => {
        for (const [own, expected] of [
                 ['https://ff.test/|https://two.test/', 'https://ff.test/'],
                 ['about:home', 'https://home.test/']]) {
            const {api, host} = await started({env: {firefox: true}});
            api.browserSettings = {homepageOverride: {get: async () => ({value: own})}};
            host({type: 'settings', homePage: 'https://home.test/'});
            host({type: 'call', id: 4, method: 'home', tabId: 10});
            await settle();
            assert.deepEqual(api.calls.at(-1).props, {url: expected});
        }
    });

    test('back becomes possible after a navigation and goes back', async () => {
        const {api, host, sent} = await started();
        api.webNavigation.onCommitted.fire({
            tabId: 10,
            frameId: 0,
            url: 'https://c.test/',
            transitionType: 'typed',
            transitionQualifiers: []
        });
        assert.equal(sent('tab').at(-1).tab.canGoBack, true);
        host({type: 'call', id: 5, method: 'goBack', tabId: 10});
        await settle();
        assert.ok(api.calls.some((c) => c.method === 'tabs.goBack'));
        assert.equal(sent('reply')[0].ok, true);
    });

    test('a click in a page keeps it for back when Surfdeck sends the tab on', async () => {
        for (const clicked of [false, true]) {
            const {api, sent} = await started();
            const commit = (url, transitionType) => api.webNavigation.onCommitted.fire(
                {tabId: 11, frameId: 0, url, transitionType, transitionQualifiers: []});
            commit('https://c.test/', 'auto_toplevel');  // a tab opened at its address
            if (clicked) {
                api.runtime.onMessage.fire(
                    {kind: 'activated'}, {id: api.runtime.id, tab: {id: 11}, frameId: 0});
            }
            commit('https://d.test/', 'link');  // our own tabs.update
            const tab = sent('tab').filter((m) => m.tab.id === 11).at(-1);
            assert.equal(tab?.tab.canGoBack ?? false, clicked, `clicked: ${clicked}`);
        }
    });

    test('a back the browser refuses greys the button', async () => {
        const {api, host, sent} = await started();
        api.webNavigation.onCommitted.fire({
            tabId: 10,
            frameId: 0,
            url: 'https://c.test/',
            transitionType: 'typed',
            transitionQualifiers: []
        });
        api.fail = {goBack: 'Cannot find a next page in history.'};
        host({type: 'call', id: 6, method: 'goBack', tabId: 10});
        await settle();
        assert.equal(sent('reply')[0].ok, false);
        assert.equal(sent('tab').at(-1).tab.canGoBack, false);
    });
});

describe('navigations', () => {
    const ask = (api, tabId, url) => new Promise(
        (resolve) => api.runtime.onMessage.fire(
            {kind: 'beforeNavigate', url, cancellable: true, navigationType: 'push'},
            {id: api.runtime.id, tab: {id: tabId}, frameId: 0}, resolve),
    );

    test('a cancellable navigation waits for the decision', async () => {
        const {api, host, sent} = await started();
        const answer = ask(api, 10, 'https://c.test/');
        const [before] = sent('beforeNavigate');
        assert.deepEqual(before, {
            type: 'beforeNavigate',
            id: before.id,
            tabId: 10,
            frameId: 0,
            url: 'https://c.test/',
            cancellable: true
        });
        host({type: 'decision', id: before.id, cancel: true});
        assert.deepEqual(await answer, {cancel: true});
    });

    test('without a decision it goes ahead after 500 ms', async () => {
        const {api, timers} = await started();
        const answer = ask(api, 10, 'https://c.test/');
        timers.advance(499);
        let done = false;
        answer.then(() => (done = true));
        await settle();
        assert.equal(done, false);
        timers.advance(1);
        assert.deepEqual(await answer, {cancel: false});
    });

    test('with no Surfdeck behind the bridge nothing is held', async () => {
        const {api, sent} = await started({surfdeck: false});
        assert.deepEqual(await ask(api, 10, 'https://c.test/'), {cancel: false});
        assert.equal(sent('beforeNavigate')[0].cancellable, false);
        assert.equal(api.storage.session.data.surfdeckSettings.listening, false);
    });

    test('a Surfdeck that stops deciding stops holding pages until it speaks again', async () => {
        const {api, timers, host} = await started();
        const first = ask(api, 10, 'https://c.test/');
        timers.advance(500);
        await first;
        assert.deepEqual(await ask(api, 10, 'https://d.test/'), {cancel: false});
        host({type: 'resync'});
        ask(api, 10, 'https://e.test/');
        const last = api.ports.at(-1).sent.filter((m) => m.type === 'beforeNavigate').at(-1);
        assert.deepEqual([last.url, last.cancellable], ['https://e.test/', true]);
    });

    test('the browser own report of an announced navigation is not announced twice', async () => {
        const {api, sent} = await started();
        ask(api, 10, 'https://c.test/');
        api.webNavigation.onBeforeNavigate.fire({tabId: 10, frameId: 0, url: 'https://c.test/'});
        api.webNavigation.onBeforeNavigate.fire(
            {tabId: 10, frameId: 0, url: 'https://typed.test/'});
        assert.deepEqual(
            sent('beforeNavigate').map((m) => [m.url, m.cancellable]),
            [['https://c.test/', true], ['https://typed.test/', false]]);
    });

    test('Firefox hand-over of a load between processes is no error', async () => {
        const {api, sent, timers} = await started({env: {firefox: true}});
        const aborted = (url) => ({tabId: 10, frameId: 0, url, error: 'Error code 2152398850'});
        api.webNavigation.onErrorOccurred.fire(aborted('https://c.test/'));
        api.webNavigation.onCommitted.fire(
            {tabId: 10, frameId: 0, url: 'https://c.test/', transitionType: 'link'});
        api.webNavigation.onErrorOccurred.fire(aborted('https://stopped.test/'));
        timers.advance(500);
        assert.deepEqual(sent('navError').map((m) => m.url), ['https://stopped.test/']);
    });

    test(
        'Firefox holds a top-level load until Surfdeck decides, and a cancel is no error',
        async () => {
            const {api, host, sent} = await started({env: {firefox: true}});
            const listener = api.webRequestListener;
            const held = listener({tabId: 10, requestId: 'r1', url: 'https://c.test/'});
            host({type: 'decision', id: sent('beforeNavigate')[0].id, cancel: true});
            assert.deepEqual(await held, {cancel: true});
            api.webNavigation.onErrorOccurred.fire(
                {tabId: 10, frameId: 0, url: 'https://c.test/', error: 'Error code 2147500036'});
            assert.equal(sent('navError').length, 0);
            assert.deepEqual(
                listener({tabId: 10, requestId: 'r1', url: 'https://d.test/'}), {},
                'a redirect of the same load');
        });

    test('the same address typed after a cancel is announced again', async () => {
        const {api, host, sent} = await started();
        const answer = ask(api, 10, 'https://c.test/');
        host({type: 'decision', id: sent('beforeNavigate')[0].id, cancel: true});
        await answer;
        api.webNavigation.onBeforeNavigate.fire({tabId: 10, frameId: 0, url: 'https://c.test/'});
        assert.deepEqual(sent('beforeNavigate').map((m) => m.cancellable), [true, false]);
    });
});

describe('tabs, windows and the page', () => {
    test('the pop-up starts Surfdeck, a page cannot', async () => {
        const {api, sent} = await started();
        api.runtime.onMessage.fire(
            {kind: 'launch'}, {id: api.runtime.id, url: 'https://evil.test/', tab: {id: 10}});
        api.runtime.onMessage.fire(
            {kind: 'openFolder'}, {id: api.runtime.id, url: 'ext://surfdeck/popup.html'});
        assert.deepEqual([sent('launch').length, sent('openFolder').length], [0, 1]);
    });

    test('only real changes go out', async () => {
        const {api, sent} = await started();
        const tab = {
            id: 11,
            windowId: 1,
            index: 1,
            url: 'https://b.test/',
            title: 'https://b.test/',
            status: 'complete'
        };
        api.tabs.onUpdated.fire(11, {}, tab);
        assert.equal(sent('tab').length, 0);
        api.tabs.onUpdated.fire(11, {title: 'B'}, {...tab, title: 'B'});
        assert.equal(sent('tab').at(-1).tab.title, 'B');
    });

    test('a new active tab changes both tabs and the focus', async () => {
        const {api, sent} = await started();
        api.tabs.onActivated.fire({tabId: 11, windowId: 1});
        assert.deepEqual(
            sent('tab').map((m) => [m.tab.id, m.tab.active]), [[10, false], [11, true]]);
        assert.deepEqual(sent('focus').at(-1), {type: 'focus', windowId: 1, tabId: 11});
    });

    test('page input comes from the top frame only', async () => {
        const {api, sent} = await started();
        const input = {kind: 'page', event: 'mousedown', button: 2, buttons: 2, shift: true};
        api.runtime.onMessage.fire(input, {id: api.runtime.id, tab: {id: 10}, frameId: 4});
        api.runtime.onMessage.fire(input, {id: api.runtime.id, tab: {id: 10}, frameId: 0});
        api.runtime.onMessage.fire(input, {id: 'someone-else', tab: {id: 10}, frameId: 0});
        assert.deepEqual(sent('page'), [{
                             type: 'page',
                             tabId: 10,
                             event: 'mousedown',
                             button: 2,
                             buttons: 2,
                             shift: true,
                             ctrl: false,
                             alt: false
                         }]);
    });

    test('"Save text to file" keeps the line breaks of the selection', async () => {
        const {api, sent} = await started({inPage: {readSelection: () => 'one\ntwo\n'}});
        api.contextMenus.onClicked.fire(
            {menuItemId: MENU_ID, frameId: 2, selectionText: 'one two'}, {id: 10});
        await settle();
        assert.deepEqual(sent('saveText'), [{type: 'saveText', text: 'one\ntwo\n'}]);
        assert.deepEqual(api.calls.at(-1).target, {tabId: 10, frameIds: [2]});
    });

    test(
        '"Save text to file" with no Surfdeck running starts it and saves once it speaks',
        async () => {
            const {api, host, sent, timers} =
                await started({surfdeck: false, inPage: {readSelection: () => 'kept'}});
            api.contextMenus.onClicked.fire({menuItemId: MENU_ID}, {id: 10});
            await settle();
            assert.deepEqual([sent('launch').length, sent('saveText').length], [1, 0]);
            timers.advance(10000);
            host({type: 'settings', suppressContextMenu: false, homePage: ''});
            assert.deepEqual(sent('saveText'), [{type: 'saveText', text: 'kept'}]);
        });
});
