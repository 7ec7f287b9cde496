import assert from 'node:assert/strict';
import {describe, test} from 'node:test';

import {TabHistory} from '../lib/history.js';

// Steps: ['typed', url], ['link', url] (the page's own, or our tabs.update), ['click'] (user
// activation in the current document), ['push', url]
// (pushState), ['replace', url], ['reload'], ['subframe'], ['autoSubframe'],
// ['back'] / ['forward'] (our call and the commit that follows, landing on url).
function play(steps, options) {
    const h = new TabHistory(options);
    for (const [kind, url] of steps) {
        switch (kind) {
            case 'typed':
                h.commit({url, transition: 'typed'});
                break;
            case 'link':
                h.commit({url, transition: 'link'});
                break;
            case 'click':
                h.activated();
                break;
            case 'push':
                h.commit({url, transition: 'link', sameDocument: true, intent: 'push'});
                break;
            case 'replace':
                h.commit({url, transition: 'link', intent: 'replace'});
                break;
            case 'reload':
                h.commit({url: h.current.url, transition: 'reload'});
                break;
            case 'subframe':
                h.commit({url: 'https://frame/', frameId: 3, transition: 'manual_subframe'});
                break;
            case 'autoSubframe':
                h.commit({url: 'https://frame/', frameId: 3, transition: 'auto_subframe'});
                break;
            case 'back':
            case 'forward':
                h.expectTraverse(kind);
                h.commit({url, transition: 'link', qualifiers: ['forward_back']});
                break;
            default:
                throw new Error(kind);
        }
    }
    return h;
}

const A = 'https://a.test/';
const B = 'https://b.test/';
const C = 'https://c.test/';

describe('back and forward follow what the browser will do', () => {
    const table = [
        ['one typed page', [['typed', A]], false, false],
        ['a link clicked from a page', [['typed', A], ['click'], ['link', B]], true, false],
        ['a page that moves on by itself is skipped', [['typed', A], ['link', B]], false, false],
        [
            'only the unclicked page is skipped',
            [['typed', A], ['click'], ['link', B], ['link', C]], true, false
        ],
        [
            'a click later clears the skip', [['typed', A], ['push', A + '#1'], ['click']], true,
            false
        ],
        ['typed addresses never skip', [['typed', A], ['typed', B]], true, false],
        ['a replaced entry adds nothing', [['typed', A], ['replace', B]], false, false],
        [
            'the same address again adds nothing', [['typed', A], ['click'], ['link', A]], false,
            false
        ],
        ['a reload adds nothing', [['typed', A], ['reload']], false, false],
        [
            'a frame the user navigates adds an entry', [['typed', A], ['click'], ['subframe']],
            true, false
        ],
        ['a frame loading by itself adds none', [['typed', A], ['autoSubframe']], false, false],
        ['back lands on the entry before', [['typed', A], ['typed', B], ['back', A]], false, true],
        [
            'back then forward', [['typed', A], ['typed', B], ['back', A], ['forward', B]], true,
            false
        ],
        [
            'a new page drops the forward entries',
            [['typed', A], ['typed', B], ['back', A], ['typed', C]], true, false
        ],
        [
            'an empty new window keeps no about:blank', [['link', 'about:blank'], ['typed', A]],
            false, false
        ],
        ['a typed about:blank is an entry', [['typed', 'about:blank'], ['typed', A]], true, false],
        [
            'back passes over skipped entries',
            [['typed', A], ['click'], ['link', B], ['link', C], ['back', A]], false, true
        ],
    ];
    for (const [name, steps, back, forward] of table) {
        test(name, () => {
            const h = play(steps);
            assert.deepEqual([h.canGoBack(), h.canGoForward()], [back, forward]);
        });
    }

    test('a browser without the skip rule goes back to any entry', () => {
        const h = play([['typed', A], ['link', B]], {skipUnactivated: false});
        assert.equal(h.canGoBack(), true);
    });

    test('forward reaches an entry even when all ahead are skipped', () => {
        const h = play([['typed', A], ['click'], ['link', B], ['link', C], ['back', A]]);
        assert.equal(h.forwardIndex(), 2);
    });
});

describe('history the extension did not see', () => {
    test('a restored tab may go both ways until the page tells', () => {
        const h = new TabHistory();
        h.commit({url: B, transition: 'reload'});
        assert.deepEqual([h.canGoBack(), h.canGoForward(), h.needsProbe], [true, true, true]);
        h.seed({url: B, length: 3, entries: [A, B, C], index: 1});
        assert.deepEqual([h.canGoBack(), h.canGoForward(), h.entries.length], [true, true, 3]);
        h.expectTraverse('back');
        h.commit({url: A, transition: 'link', qualifiers: ['forward_back']});
        assert.deepEqual([h.canGoBack(), h.canGoForward()], [false, true]);
    });

    test('a tab whose past could not be read yet may go back', () => {
        const h = new TabHistory();
        h.needsProbe = true;
        h.commit({url: B, transition: 'link'});
        assert.equal(h.canGoBack(), true);
    });

    test('cross-site entries the page cannot list keep the buttons usable', () => {
        const h = new TabHistory();
        h.seed({url: B, length: 4, entries: [B], index: 0});
        assert.deepEqual([h.canGoBack(), h.canGoForward()], [true, true]);
    });

    test('a page touched before we could see it is not passed over', () => {
        for (const [activated, early] of [[true, false], [false, true], [false, false]]) {
            const h = new TabHistory();
            h.commit({url: A, transition: 'typed'});
            if (early) h.activated();  // its content script, sent in late, spoke first
            h.seed({url: A, length: 1, entries: [A], index: 0, activated});
            h.commit({url: B, transition: 'link'});
            assert.equal(h.canGoBack(), activated || early, `${activated} ${early}`);
        }
    });

    test('a refused back settles the doubt', () => {
        const h = new TabHistory();
        h.seed({url: B, length: 2, entries: null});
        assert.equal(h.canGoBack(), true);
        h.traverseFailed('back');
        assert.equal(h.canGoBack(), false);
    });

    test('a back into entries never seen keeps going back possible', () => {
        const h = new TabHistory();
        h.seed({url: B, length: 2, entries: null});
        h.expectTraverse('back');
        h.commit({url: A, transition: 'link', qualifiers: ['forward_back']});
        assert.deepEqual([h.current.url, h.canGoBack(), h.canGoForward()], [A, true, true]);
    });

    test('the browser own back button is found by address', () => {
        const h = play([['typed', A], ['typed', B], ['typed', C]]);
        h.commit({url: A, transition: 'link', qualifiers: ['forward_back']});
        assert.equal(h.index, 0);
    });

    test('keeps the last 50 entries, as the browsers do', () => {
        const steps = [['typed', A]];
        for (let i = 0; i < 60; i++) steps.push(['typed', `${A}${i}`]);
        const h = play(steps);
        assert.deepEqual([h.entries.length, h.index, h.entries[0].url], [50, 49, `${A}10`]);
    });

    test('survives being stored and read back', () => {
        const h = play([['typed', A], ['link', B], ['typed', C]]);
        const again = TabHistory.fromJSON(JSON.parse(JSON.stringify(h)));
        assert.deepEqual([again.canGoBack(), again.backIndex(), again.current.url], [true, 1, C]);
        assert.equal(TabHistory.fromJSON({entries: 'junk'}).canGoBack(), false);
    });
});
