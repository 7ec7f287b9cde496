// A real browser with the extension loaded and a stand-in native host that relays to the
// test over a Unix socket, plus a small web server. Used by chromium.test.mjs and
// firefox.test.mjs.
import assert from 'node:assert/strict';
import {spawn, spawnSync} from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';

const EXTENSION = path.resolve(new URL('..', import.meta.url).pathname);
const CHROMIUM_ID = 'fecbaffpfggcihhnnmimopojegplikcl';
const GECKO_ID = 'surfdeck@surfdeck.local';

export function findProgram(names) {
    return names.find((c) => spawnSync('sh', ['-c', `command -v ${c}`]).status === 0);
}

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

export const PAGES = {
    '/one.html':
        '<body style="margin:0"><p id="p">one</p><a href="two.html" style="display:block;height:50px">two</a></body>',
    '/two.html': '<body><p>two</p></body>',
    '/leaves.html':
        '<body><script>onload = () => setTimeout(() => location.href = "blocked.html", 300)</script></body>',
    '/blocked.html': '<body>should not load</body>',
};

function chromiumCommand(program, dir, hostPath) {
    fs.mkdirSync(path.join(dir, 'profile', 'NativeMessagingHosts'), {recursive: true});
    fs.writeFileSync(
        path.join(dir, 'profile', 'NativeMessagingHosts', 'org.surfdeck.bridge.json'),
        JSON.stringify({
            name: 'org.surfdeck.bridge',
            description: 'test',
            path: hostPath,
            type: 'stdio',
            allowed_origins: [`chrome-extension://${CHROMIUM_ID}/`],
        }));
    const args = [
        '--headless=new',
        '--no-sandbox',
        '--remote-debugging-pipe',
        '--disable-gpu',
        `--user-data-dir=${dir}/profile`,
        '--disable-features=DisableLoadExtensionCommandLineSwitch',
        `--load-extension=${EXTENSION}`,
        'about:blank',
    ];
    return {args, env: process.env, stdio: ['ignore', 'ignore', 'ignore', 'pipe', 'pipe']};
}

// Firefox ESR loads an unsigned extension from a proxy file in the profile once its
// signature check is off: done here in a scratch profile only.
function firefoxCommand(program, dir, hostPath) {
    const home = path.join(dir, 'home');
    const hosts = path.join(home, '.mozilla', 'native-messaging-hosts');
    fs.mkdirSync(hosts, {recursive: true});
    fs.writeFileSync(path.join(hosts, 'org.surfdeck.bridge.json'), JSON.stringify({
        name: 'org.surfdeck.bridge',
        description: 'test',
        path: hostPath,
        type: 'stdio',
        allowed_extensions: [GECKO_ID],
    }));
    const profile = path.join(dir, 'profile');
    fs.mkdirSync(path.join(profile, 'extensions'), {recursive: true});
    fs.writeFileSync(path.join(profile, 'extensions', GECKO_ID), EXTENSION);
    fs.writeFileSync(path.join(profile, 'user.js'), [
        ['xpinstall.signatures.required', false],
        ['extensions.autoDisableScopes', 0],
        ['extensions.enabledScopes', 15],
        ['browser.shell.checkDefaultBrowser', false],
        ['datareporting.policy.dataSubmissionEnabled', false],
    ].map(([k, v]) => `user_pref("${k}", ${v});\n`).join(''));
    const args = ['--headless', '--no-remote', '--profile', profile, 'about:blank'];
    return {args, env: {...process.env, HOME: home}, stdio: 'ignore'};
}

export async function startBrowser(kind, program) {
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), `surfdeck-${kind}-`));
    const received = [];
    let waiters = [];
    let peer;
    const b = {received};

    b.server = http.createServer((req, res) => {
        const body = PAGES[req.url];
        res.writeHead(body ? 200 : 404, {'content-type': 'text/html'});
        res.end(body ?? 'missing');
    });
    await new Promise((r) => b.server.listen(0, '127.0.0.1', r));
    b.base = `http://127.0.0.1:${b.server.address().port}`;

    b.send = (msg) => peer.write(JSON.stringify(msg) + '\n');
    // The first message from index `from` on that matches.
    b.waitFor = (pred, from = 0, ms = 8000) => {
        const hit = received.slice(from).find(pred);
        if (hit) return Promise.resolve(hit);
        return new Promise((resolve, reject) => {
            const timer = setTimeout(() => reject(new Error('no such message in time')), ms);
            waiters.push({pred, resolve: (m) => (clearTimeout(timer), resolve(m))});
        });
    };
    let nextId = 1;
    b.call = (method, args) => {
        const id = nextId++;
        b.send({type: 'call', id, method, ...args});
        return b.waitFor((m) => m.type === 'reply' && m.id === id);
    };

    const socket = path.join(dir, 'relay');
    b.relay = net.createServer((c) => {
        peer = c;
        let lines = '';
        c.on('data', (d) => {
            lines += d;
            let i;
            while ((i = lines.indexOf('\n')) >= 0) {
                const msg = JSON.parse(lines.slice(0, i));
                lines = lines.slice(i + 1);
                received.push(msg);
                // Surfdeck answers every question; the tests decide only about blocked.html.
                if (msg.type === 'beforeNavigate' && msg.cancellable &&
                    !msg.url.includes('blocked')) {
                    b.send({type: 'decision', id: msg.id, cancel: false});
                }
                if (msg.type === 'hello') {
                    b.send({
                        type: 'settings',
                        suppressContextMenu: false,
                        homePage: `${b.base}/two.html`
                    });
                }
                waiters = waiters.filter((w) => !(w.pred(msg) && (w.resolve(msg), true)));
            }
        });
    });
    await new Promise((r) => b.relay.listen(socket, r));
    fs.writeFileSync(path.join(dir, 'host.mjs'), HOST);
    const hostPath = path.join(dir, 'host.sh');
    fs.writeFileSync(
        hostPath, `#!/bin/sh\nexec "${process.execPath}" "${dir}/host.mjs" "${socket}"\n`,
        {mode: 0o755});

    const cmd = (kind === 'chromium' ? chromiumCommand : firefoxCommand)(program, dir, hostPath);
    // A group of its own, so that its helper processes end with it.
    b.process = spawn(program, cmd.args, {env: cmd.env, stdio: cmd.stdio, detached: true});

    // Chromium: real input through the DevTools pipe (fd 3 in, fd 4 out, NUL-separated).
    let cdpId = 0;
    let cdpBuf = '';
    const cdpWaiters = new Map();
    if (kind === 'chromium') {
        b.process.stdio[4].on('data', (d) => {
            cdpBuf += d;
            let i;
            while ((i = cdpBuf.indexOf('\0')) >= 0) {
                const msg = JSON.parse(cdpBuf.slice(0, i));
                cdpBuf = cdpBuf.slice(i + 1);
                cdpWaiters.get(msg.id)?.(msg);
                cdpWaiters.delete(msg.id);
            }
        });
    }
    const cdp = (method, params = {}, sessionId) => new Promise((resolve) => {
        const id = ++cdpId;
        cdpWaiters.set(id, resolve);
        b.process.stdio[3].write(JSON.stringify({id, method, params, sessionId}) + '\0');
    });
    b.cdp = cdp;
    b.click = async (x, y, targetId) => {
        const {result} = await cdp('Target.getTargets');
        const page = result.targetInfos.find(
            (t) => t.type === 'page' && (!targetId || t.targetId === targetId));
        const {result: att} =
            await cdp('Target.attachToTarget', {targetId: page.targetId, flatten: true});
        for (const type of ['mousePressed', 'mouseReleased']) {
            await cdp(
                'Input.dispatchMouseEvent', {type, x, y, button: 'left', clickCount: 1},
                att.sessionId);
        }
    };

    b.close = async () => {
        const group = (signal) => {
            try {
                process.kill(-b.process.pid, signal);
            } catch {
                // already gone
            }
        };
        if (b.process.exitCode === null) {
            const exited = new Promise((r) => b.process.once('exit', r));
            group('SIGTERM');
            const late = setTimeout(() => group('SIGKILL'), 5000);
            await exited;
            clearTimeout(late);
        }
        // Helpers that outlive the browser (crash handler, zygote) go too.
        group('SIGKILL');
        b.relay.close();
        b.server.close();
        // The browser's helper processes may still be writing for a moment; a scratch
        // folder left behind is no fault of the extension.
        try {
            fs.rmSync(dir, {recursive: true, force: true, maxRetries: 20, retryDelay: 250});
        } catch (e) {
            console.warn(`scratch folder ${dir} left behind: ${e.message}`);
        }
    };

    const state = await b.waitFor((m) => m.type === 'state', 0, 30000);
    b.tabId = state.windows[0].tabs[0].id;
    await b.call('navigate', {tabId: b.tabId, url: `${b.base}/one.html`});
    await b.waitFor((m) => m.type === 'completed' && m.url === `${b.base}/one.html`);
    return b;
}

// Shared checks.
export async function pageNavigationCancelled(b) {
    const at = b.received.length;
    await b.call('navigate', {tabId: b.tabId, url: `${b.base}/leaves.html`});
    const before =
        await b.waitFor((m) => m.type === 'beforeNavigate' && m.url.endsWith('/blocked.html'), at);
    assert.equal(before.cancellable, true);
    b.send({type: 'decision', id: before.id, cancel: true});
    await new Promise((r) => setTimeout(r, 1000));
    assert.equal(
        b.received.slice(at).some(
            (m) => m.url?.endsWith('/blocked.html') && m.type !== 'beforeNavigate'),
        false);
}

export async function lookupPage(b) {
    assert.deepEqual(
        (await b.call('fetchPage', {url: `${b.base}/two.html`})).result,
        {html: '<body><p>two</p></body>'});
    assert.equal((await b.call('fetchPage', {url: 'file:///etc/passwd'})).ok, false);
}
