import assert from 'node:assert/strict';
import {describe, test} from 'node:test';

import {FETCH_TIMEOUT_MS, fetchPage, MAX_PAGE_BYTES} from '../lib/fetchpage.js';

import {FakeTimers} from './fakes.mjs';

// Enough of DOMParser for these tests: the body element as the markup has it.
class BodyParser {
    parseFromString(text) {
        const m = /<body[^>]*>[\s\S]*?<\/body>/i.exec(text);
        return {body: m ? {outerHTML: m[0]} : null};
    }
}

function answer(
    body, {url = 'https://q.test/', type = 'text/html; charset=utf-8', status = 200} = {}) {
    const r = new Response(body, {status, headers: {'content-type': type}});
    Object.defineProperty(r, 'url', {value: url});
    return r;
}

const run = (args, fetchImpl, timers = new FakeTimers()) =>
    fetchPage(args, {fetchImpl, DOMParserImpl: BodyParser, timers});

describe('the lookup page read in the browser', () => {
    test('only the body comes back', async () => {
        let options;
        const r = await run(
            {url: 'https://q.test/?q=x'},
            async (_u, o) =>
                ((options = o),
                 answer(
                     '<html><head><title>t</title></head><body><a href="/x">x</a></body></html>')));
        assert.deepEqual(r, {html: '<body><a href="/x">x</a></body>'});
        assert.equal(options.credentials, 'include');
    });

    test('a page text handed over is parsed, not fetched', async () => {
        const r = await run({html: '<body>g1</body>'}, () => assert.fail('fetched'));
        assert.deepEqual(r, {html: '<body>g1</body>'});
    });

    test('the page charset is honoured', async () => {
        const bytes =
            new Uint8Array([...Buffer.from('<body>caf'), 0xe9, ...Buffer.from('</body>')]);
        const r = await run(
            {url: 'https://q.test/'},
            async () => answer(bytes, {type: 'text/html; charset=ISO-8859-1'}));
        assert.equal(r.html, '<body>café</body>');
    });

    const refused = [
        ['a file address', {url: 'file:///etc/passwd'}, /not an http/],
        ['no address at all', {}, /not an http/],
        [
            'a redirect that ends off the web', {url: 'https://q.test/'}, /redirected/,
            {url: 'ftp://q.test/'}
        ],
    ];
    for (const [name, args, error, landing] of refused) {
        test(`${name} is refused`, async () => {
            await assert.rejects(run(args, async () => answer('<body></body>', landing)), error);
        });
    }

    test('a page larger than the cap is refused', async () => {
        const big = new Uint8Array(MAX_PAGE_BYTES + 1);
        await assert.rejects(run({url: 'https://q.test/'}, async () => answer(big)), /larger than/);
    });

    test('no answer within 10 s fails', async () => {
        const timers = new FakeTimers();
        const pending = run(
            {url: 'https://q.test/'},
            (_u, {signal}) => new Promise(
                (_r, reject) =>
                    signal.addEventListener('abort', () => reject(new Error('aborted')))),
            timers,
        );
        timers.advance(FETCH_TIMEOUT_MS);
        await assert.rejects(pending, /no answer within 10000 ms/);
    });
});
