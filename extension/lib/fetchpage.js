// The related-sites lookup's page, fetched in the browser's own context (its cookies and
// proxy) and parsed with DOMParser; only the body's markup goes back.

export const FETCH_TIMEOUT_MS = 10000;
export const MAX_PAGE_BYTES = 4 * 1024 * 1024;

export function isWebAddress(url) {
    try {
        const u = new URL(url);
        return u.protocol === 'http:' || u.protocol === 'https:';
    } catch {
        return false;
    }
}

export function bodyMarkup(text, DOMParserImpl) {
    const doc = new DOMParserImpl().parseFromString(text, 'text/html');
    return doc.body ? doc.body.outerHTML : '';
}

function charsetOf(contentType) {
    const m = /charset\s*=\s*"?([\w.:-]+)/i.exec(contentType || '');
    return m ? m[1] : 'utf-8';
}

async function readCapped(response, limit) {
    if (!response.body) {
        const all = new Uint8Array(await response.arrayBuffer());
        if (all.length > limit) throw new Error(`page larger than ${limit} bytes`);
        return all;
    }
    const reader = response.body.getReader();
    const chunks = [];
    let total = 0;
    for (;;) {
        const {done, value} = await reader.read();
        if (done) break;
        total += value.length;
        if (total > limit) {
            reader.cancel().catch(() => {});
            throw new Error(`page larger than ${limit} bytes`);
        }
        chunks.push(value);
    }
    const all = new Uint8Array(total);
    let at = 0;
    for (const c of chunks) {
        all.set(c, at);
        at += c.length;
    }
    return all;
}

function decode(bytes, label) {
    try {
        return new TextDecoder(label).decode(bytes);
    } catch {
        return new TextDecoder('utf-8').decode(bytes);
    }
}

// {url} or {html}; resolves to {html: body outerHTML}, rejects with a short reason.
export async function fetchPage(args, {fetchImpl, DOMParserImpl, timers = globalThis}) {
    if (typeof args.html === 'string') return {html: bodyMarkup(args.html, DOMParserImpl)};
    if (typeof args.url !== 'string' || !isWebAddress(args.url)) {
        throw new Error('not an http or https address');
    }
    const abort = new AbortController();
    const timer = timers.setTimeout(() => abort.abort(), FETCH_TIMEOUT_MS);
    try {
        // fetch follows redirects to http and https only; the final address is checked
        // again so nothing else is ever read.
        const response = await fetchImpl(args.url, {
            credentials: 'include',
            redirect: 'follow',
            signal: abort.signal,
        });
        if (response.url && !isWebAddress(response.url)) {
            throw new Error('redirected away from http and https');
        }
        // An error status still has a page, as a browser window would show it.
        const bytes = await readCapped(response, MAX_PAGE_BYTES);
        const text = decode(bytes, charsetOf(response.headers.get('content-type')));
        return {html: bodyMarkup(text, DOMParserImpl)};
    } catch (e) {
        if (abort.signal.aborted) throw new Error(`no answer within ${FETCH_TIMEOUT_MS} ms`);
        throw e;
    } finally {
        timers.clearTimeout(timer);
    }
}
