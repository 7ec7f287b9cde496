// The extension in a real headless Chromium. Skipped where there is no Chromium.
import assert from 'node:assert/strict';
import {after, before, describe, test} from 'node:test';

import {findProgram, lookupPage, pageNavigationCancelled, startBrowser} from './real-browser.mjs';

const program = findProgram(['chromium', 'chromium-browser', 'google-chrome']);

describe('in Chromium', {skip: !program && 'no Chromium here', timeout: 60000}, () => {
    let b;
    before(async () => (b = await startBrowser('chromium', program)));
    after(() => b?.close());

    test('says hello as Chromium', () => {
        assert.equal(b.received.find((m) => m.type === 'hello').browser, 'chromium');
    });

    test('a page left without a click is skipped by back, as the browser skips it', async () => {
        let at = b.received.length;
        await b.call('navigate', {tabId: b.tabId, url: `${b.base}/two.html`});
        await b.waitFor((m) => m.type === 'completed' && m.url.endsWith('/two.html'), at);
        // Where the extension could not tell, it lets the browser decide and learns.
        assert.equal((await b.call('goBack', {tabId: b.tabId})).ok, false);
        const tabs = b.received.filter((m) => m.type === 'tab' && m.tab.id === b.tabId);
        assert.deepEqual(
            [tabs.at(-1).tab.url, tabs.at(-1).tab.canGoBack], [`${b.base}/two.html`, false]);
        at = b.received.length;
        await b.call('navigate', {tabId: b.tabId, url: `${b.base}/one.html`});
        await b.waitFor((m) => m.type === 'completed' && m.url.endsWith('/one.html'), at);
    });

    test('a link the user clicks is held, goes ahead, and back returns to the page', async () => {
        let at = b.received.length;
        await b.click(10, 70);
        const before = await b.waitFor((m) => m.type === 'beforeNavigate', at);
        assert.deepEqual([before.url, before.cancellable], [`${b.base}/two.html`, true]);
        b.send({type: 'decision', id: before.id, cancel: false});
        await b.waitFor(
            (m) => m.type === 'tab' && m.tab.url.endsWith('/two.html') && m.tab.canGoBack, at);
        assert.ok(b.received.slice(at).some((m) => m.type === 'page' && m.event === 'mousedown'));
        at = b.received.length;
        const back = await b.call('goBack', {tabId: b.tabId});
        assert.equal(back.ok, true, back.error);
        await b.waitFor(
            (m) => m.type === 'tab' && m.tab.url.endsWith('/one.html') && m.tab.canGoForward &&
                m.tab.status === 'complete',
            at);
        const body = await b.call('getBody', {tabId: b.tabId});
        assert.match(body.result.html, /<p id="p">one<\/p>/);
    });

    test('a tab opened at its address and clicked in keeps that page for back', async () => {
        let at = b.received.length;
        const {result} = await b.cdp('Target.createTarget', {url: `${b.base}/one.html`});
        const opened = await b.waitFor(
            (m) => m.type === 'tab' && m.tab.id !== b.tabId && m.tab.url.endsWith('/one.html') &&
                m.tab.status === 'complete',
            at);
        const id = opened.tab.id;
        await b.click(10, 10, result.targetId);
        await b.waitFor((m) => m.type === 'page' && m.tabId === id && m.event === 'mouseup', at);
        // The page tells of its first activation after its input events, and to the
        // extension only: a person takes longer than this to reach Surfdeck's buttons.
        await new Promise((r) => setTimeout(r, 300));
        at = b.received.length;
        await b.call('navigate', {tabId: id, url: `${b.base}/two.html`});
        await b.waitFor(
            (m) => m.type === 'tab' && m.tab.id === id && m.tab.url.endsWith('/two.html') &&
                m.tab.canGoBack,
            at);
        at = b.received.length;
        const back = await b.call('goBack', {tabId: id});
        assert.equal(back.ok, true, back.error);
        await b.waitFor(
            (m) => m.type === 'tab' && m.tab.id === id && m.tab.url.endsWith('/one.html'), at);
        await b.cdp('Target.closeTarget', {targetId: result.targetId});
    });

    test(
        'a navigation the page starts waits for the decision, and a cancel keeps the page',
        async () => {
            await pageNavigationCancelled(b);
        });

    test('reads a page for the related-sites lookup, and only over the web', async () => {
        await lookupPage(b);
    });
});
