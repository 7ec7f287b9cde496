// The extension in a real headless Firefox ESR. Skipped where there is no Firefox.
import assert from 'node:assert/strict';
import {after, before, describe, test} from 'node:test';

import {findProgram, lookupPage, pageNavigationCancelled, startBrowser} from './real-browser.mjs';

const program = findProgram(['firefox-esr', 'firefox']);

describe('in Firefox', {skip: !program && 'no Firefox here', timeout: 60000}, () => {
    let b;
    before(async () => (b = await startBrowser('firefox', program)));
    after(() => b?.close());

    test('says hello as Firefox', () => {
        assert.equal(b.received.find((m) => m.type === 'hello').browser, 'firefox');
    });

    test('back and forward follow every entry, untouched pages included', async () => {
        let at = b.received.length;
        await b.call('navigate', {tabId: b.tabId, url: `${b.base}/two.html`});
        await b.waitFor(
            (m) => m.type === 'tab' && m.tab.url.endsWith('/two.html') && m.tab.canGoBack, at);
        at = b.received.length;
        assert.equal((await b.call('goBack', {tabId: b.tabId})).ok, true);
        await b.waitFor(
            (m) => m.type === 'tab' && m.tab.url.endsWith('/one.html') && m.tab.canGoForward, at);
    });

    test(
        'a typed load is held too, and a cancel leaves the old page without an error', async () => {
            const at = b.received.length;
            const navigated = b.call('navigate', {tabId: b.tabId, url: `${b.base}/blocked.html`});
            const before = await b.waitFor(
                (m) => m.type === 'beforeNavigate' && m.url.endsWith('/blocked.html'), at);
            assert.equal(before.cancellable, true);
            b.send({type: 'decision', id: before.id, cancel: true});
            await navigated;
            await new Promise((r) => setTimeout(r, 1000));
            const after = b.received.slice(at);
            assert.equal(after.some((m) => ['committed', 'navError'].includes(m.type)), false);
            assert.match((await b.call('getBody', {tabId: b.tabId})).result.html, /one/);
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
