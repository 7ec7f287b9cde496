// The extension in a real headless Chromium, with a stand-in native host that relays to
// this test over a Unix socket. Skipped where there is no Chromium.
import assert from 'node:assert/strict';
import {spawn, spawnSync} from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import {after, before, describe, test} from 'node:test';

const EXTENSION = path.resolve(new URL('..', import.meta.url).pathname);
const ID = 'fecbaffpfggcihhnnmimopojegplikcl';
const chromium = ['chromium', 'chromium-browser', 'google-chrome'].find(
    (c) => spawnSync('sh', ['-c', `command -v ${c}`]).status === 0);

// The host the browser starts: length-prefixed JSON on stdio, relayed as lines.
const HOST = `import net from 'node:net';
const sock = net.connect(process.argv[2]);
let buf = Buffer.alloc(0);
process.stdin.on('data', (d) => {
    buf = Buffer.concat([buf, d]);
    while (buf.length >= 4 && buf.length >= 4 + buf.readUInt32LE(0)) {
        const n = buf.readUInt32LE(0);
        sock.write(buf.subarray(4, 4 + n).toString() + '\\n');
        buf = buf.subarray(4 + n);
    }
});
process.stdin.on('end', () => process.exit(0));
let lines = '';
sock.on('data', (d) => {
    lines += d;
    let i;
    while ((i = lines.indexOf('\\n')) >= 0) {
        const body = Buffer.from(lines.slice(0, i));
        lines = lines.slice(i + 1);
        const head = Buffer.alloc(4);
        head.writeUInt32LE(body.length);
        process.stdout.write(Buffer.concat([head, body]));
    }
});
`;

const PAGES = {
    '/one.html':
        '<body style="margin:0"><p id="p">one</p><a href="two.html" style="display:block;height:50px">two</a></body>',
    '/two.html': '<body><p>two</p></body>',
    '/leaves.html':
        '<body><script>onload = () => setTimeout(() => location.href = "blocked.html", 300)</script></body>',
    '/blocked.html': '<body>should not load</body>',
};

describe('in Chromium', {skip: !chromium && 'no Chromium here', timeout: 60000}, () => {
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'surfdeck-ext-'));
    const received = [];
    let waiters = [];
    let server, relay, browser, peer, base, tabId;

    const send = (msg) => peer.write(JSON.stringify(msg) + '\n');
    // The first message from index `from` on that matches.
    const waitFor = (pred, from = 0, ms = 8000) => {
        const hit = received.slice(from).find(pred);
        if (hit) return Promise.resolve(hit);
        return new Promise((resolve, reject) => {
            const timer = setTimeout(() => reject(new Error('no such message in time')), ms);
            waiters.push({pred, resolve: (m) => (clearTimeout(timer), resolve(m))});
        });
    };
    let nextId = 1;
    const call = async (method, args) => {
        const id = nextId++;
        send({type: 'call', id, method, ...args});
        return waitFor((m) => m.type === 'reply' && m.id === id);
    };

    // Real input through the DevTools pipe (fd 3 in, fd 4 out, NUL-separated JSON).
    let cdpId = 0;
    const cdpWaiters = new Map();
    let cdpBuf = '';
    const cdp = (method, params = {}, sessionId) => new Promise((resolve) => {
        const id = ++cdpId;
        cdpWaiters.set(id, resolve);
        browser.stdio[3].write(JSON.stringify({id, method, params, sessionId}) + '\0');
    });
    const click = async (x, y) => {
        const {result} = await cdp('Target.getTargets');
        const page = result.targetInfos.find((t) => t.type === 'page');
        const {result: att} =
            await cdp('Target.attachToTarget', {targetId: page.targetId, flatten: true});
        for (const type of ['mousePressed', 'mouseReleased']) {
            await cdp(
                'Input.dispatchMouseEvent', {type, x, y, button: 'left', clickCount: 1},
                att.sessionId);
        }
    };

    before(async () => {
        server = http.createServer((req, res) => {
            const body = PAGES[req.url];
            res.writeHead(body ? 200 : 404, {'content-type': 'text/html'});
            res.end(body ?? 'missing');
        });
        await new Promise((r) => server.listen(0, '127.0.0.1', r));
        base = `http://127.0.0.1:${server.address().port}`;

        const socket = path.join(dir, 'relay');
        relay = net.createServer((c) => {
            peer = c;
            let lines = '';
            c.on('data', (d) => {
                lines += d;
                let i;
                while ((i = lines.indexOf('\n')) >= 0) {
                    const msg = JSON.parse(lines.slice(0, i));
                    lines = lines.slice(i + 1);
                    received.push(msg);
                    if (msg.type === 'hello')
                        send({
                            type: 'settings',
                            suppressContextMenu: false,
                            homePage: `${base}/two.html`
                        });
                    waiters = waiters.filter((w) => !(w.pred(msg) && (w.resolve(msg), true)));
                }
            });
        });
        await new Promise((r) => relay.listen(socket, r));

        fs.writeFileSync(path.join(dir, 'host.mjs'), HOST);
        fs.writeFileSync(
            path.join(dir, 'host.sh'),
            `#!/bin/sh\nexec "${process.execPath}" "${dir}/host.mjs" "${socket}"\n`, {mode: 0o755});
        fs.mkdirSync(path.join(dir, 'profile', 'NativeMessagingHosts'), {recursive: true});
        fs.writeFileSync(
            path.join(dir, 'profile', 'NativeMessagingHosts', 'org.surfdeck.bridge.json'),
            JSON.stringify({
                name: 'org.surfdeck.bridge',
                description: 'test',
                path: path.join(dir, 'host.sh'),
                type: 'stdio',
                allowed_origins: [`chrome-extension://${ID}/`]
            }));
        browser = spawn(
            chromium,
            [
                '--headless=new',
                '--no-sandbox',
                '--remote-debugging-pipe',
                '--disable-gpu',
                `--user-data-dir=${dir}/profile`,
                '--disable-features=DisableLoadExtensionCommandLineSwitch',
                `--load-extension=${EXTENSION}`,
                'about:blank',
            ],
            {stdio: ['ignore', 'ignore', 'ignore', 'pipe', 'pipe']});
        browser.stdio[4].on('data', (d) => {
            cdpBuf += d;
            let i;
            while ((i = cdpBuf.indexOf('\0')) >= 0) {
                const msg = JSON.parse(cdpBuf.slice(0, i));
                cdpBuf = cdpBuf.slice(i + 1);
                cdpWaiters.get(msg.id)?.(msg);
                cdpWaiters.delete(msg.id);
            }
        });
        const state = await waitFor((m) => m.type === 'state', 0, 20000);
        tabId = state.windows[0].tabs[0].id;
        await call('navigate', {tabId, url: `${base}/one.html`});
        await waitFor((m) => m.type === 'completed' && m.url === `${base}/one.html`);
    });

    after(async () => {
        if (browser && browser.exitCode === null) {
            browser.kill();
            await new Promise((r) => browser.once('exit', r));
        }
        relay?.close();
        server?.close();
        fs.rmSync(dir, {recursive: true, force: true, maxRetries: 5});
    });

    test('says hello with the fixed id and its browser', () => {
        const hello = received.find((m) => m.type === 'hello');
        assert.equal(hello.protocol, 1);
        assert.equal(hello.browser, 'chromium');
    });

    test('a page left without a click is skipped by back, as the browser skips it', async () => {
        let at = received.length;
        await call('navigate', {tabId, url: `${base}/two.html`});
        await waitFor((m) => m.type === 'completed' && m.url.endsWith('/two.html'), at);
        // Where the extension could not tell, it lets the browser decide and learns.
        assert.equal((await call('goBack', {tabId})).ok, false);
        const tabs = received.filter((m) => m.type === 'tab' && m.tab.id === tabId);
        assert.deepEqual(
            [tabs.at(-1).tab.url, tabs.at(-1).tab.canGoBack], [`${base}/two.html`, false]);
        at = received.length;
        await call('navigate', {tabId, url: `${base}/one.html`});
        await waitFor((m) => m.type === 'completed' && m.url.endsWith('/one.html'), at);
    });

    test('a link the user clicks is held, goes ahead, and back returns to the page', async () => {
        let at = received.length;
        await click(10, 70);
        const before = await waitFor((m) => m.type === 'beforeNavigate', at);
        assert.deepEqual([before.url, before.cancellable], [`${base}/two.html`, true]);
        send({type: 'decision', id: before.id, cancel: false});
        await waitFor(
            (m) => m.type === 'tab' && m.tab.url.endsWith('/two.html') && m.tab.canGoBack, at);
        assert.ok(received.slice(at).some((m) => m.type === 'page' && m.event === 'mousedown'));
        at = received.length;
        const back = await call('goBack', {tabId});
        assert.equal(back.ok, true, back.error);
        await waitFor(
            (m) => m.type === 'tab' && m.tab.url.endsWith('/one.html') && m.tab.canGoForward &&
                m.tab.status === 'complete',
            at);
        const body = await call('getBody', {tabId});
        assert.match(body.result.html, /<p id="p">one<\/p>/);
    });

    test(
        'a navigation the page starts waits for the decision, and a cancel keeps the page',
        async () => {
            await call('navigate', {tabId, url: `${base}/leaves.html`});
            const before = await waitFor(
                (m) => m.type === 'beforeNavigate' && m.url.endsWith('/blocked.html'));
            assert.equal(before.cancellable, true);
            send({type: 'decision', id: before.id, cancel: true});
            await new Promise((r) => setTimeout(r, 1000));
            assert.equal(
                received.some((m) => m.type === 'committed' && m.url.endsWith('/blocked.html')),
                false);
        });

    test('reads a page for the related-sites lookup, and only over the web', async () => {
        assert.deepEqual(
            (await call('fetchPage', {url: `${base}/two.html`})).result,
            {html: '<body><p>two</p></body>'});
        assert.equal((await call('fetchPage', {url: 'file:///etc/passwd'})).ok, false);
    });
});
