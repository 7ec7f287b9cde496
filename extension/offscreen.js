// Chromium's offscreen document: fetches or parses one page for the background.
import {fetchPage} from './lib/fetchpage.js';

chrome.runtime.onMessage.addListener((msg, sender, sendResponse) => {
    if (msg?.target !== 'offscreen' || msg.kind !== 'fetchPage' ||
        sender.id !== chrome.runtime.id) {
        return false;
    }
    fetchPage(msg, {fetchImpl: fetch.bind(globalThis), DOMParserImpl: DOMParser})
        .then(
            (r) => sendResponse({ok: true, html: r.html}),
            (e) => sendResponse({ok: false, error: String(e?.message ?? e)}),
        );
    return true;
});
