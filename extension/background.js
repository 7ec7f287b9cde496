// The background: a service worker in the Chromium family, an event page in Firefox.
import {startExtension} from './lib/extension.js';
import {fetchPage} from './lib/fetchpage.js';
import {OffscreenReader} from './lib/offscreen-reader.js';

const api = globalThis.browser ?? globalThis.chrome;
const firefox = typeof api.runtime.getBrowserInfo === 'function';

// Firefox's event page has a DOM of its own; a Chromium service worker has none, so
// there an offscreen document fetches and parses.
const reader = firefox ?
    (args) =>
        fetchPage(args, {fetchImpl: globalThis.fetch.bind(globalThis), DOMParserImpl: DOMParser}) :
    new OffscreenReader(api).fetchPage;

// Kept reachable for a look from the browser's developer tools.
globalThis.surfdeck = startExtension(api, {firefox, fetchPage: reader});
