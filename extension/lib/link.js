// The connection to surfdeck-bridge. The browser starts the bridge for us; when it cannot
// (not installed) or the port drops, we try again with a growing pause, quietly, and
// keep everything we know so the next connection starts with a full picture.

import {encodedSize, isMessage, MAX_TO_HOST} from './wire.js';

export const HOST_NAME = 'org.surfdeck.bridge';
const FIRST_RETRY_MS = 1000;
const LAST_RETRY_MS = 30000;

export class HostLink {
    // onConnect() returns the hello to send first, onOpen() follows it (the state);
    // onMessage(msg) gets every host message; onClose() runs when the port drops.
    constructor(
        runtime,
        {onConnect, onOpen, onMessage, onClose, timers = globalThis, warn = console.warn}) {
        this.runtime = runtime;
        this.onConnect = onConnect;
        this.onOpen = onOpen ?? (() => {});
        this.onMessage = onMessage;
        this.onClose = onClose ?? (() => {});
        this.timers = timers;
        this.warn = warn;
        this.port = null;
        this.retryMs = FIRST_RETRY_MS;
        this.retryTimer = null;
    }

    get connected() { return this.port !== null; }

    connect() {
        if (this.port) return true;
        if (this.retryTimer !== null) {
            this.timers.clearTimeout(this.retryTimer);
            this.retryTimer = null;
        }
        let port;
        try {
            port = this.runtime.connectNative(HOST_NAME);
        } catch {
            this.scheduleRetry();
            return false;
        }
        this.port = port;
        port.onMessage.addListener((msg) => {
            // A message means the host really is there.
            this.retryMs = FIRST_RETRY_MS;
            if (!isMessage(msg)) {
                this.warn('Surfdeck: dropped a malformed message from the bridge');
                return;
            }
            this.onMessage(msg);
        });
        port.onDisconnect.addListener(() => {
            // Reading lastError keeps the browser from reporting it as unchecked.
            void this.runtime.lastError;
            if (this.port !== port) return;
            this.port = null;
            this.onClose();
            this.scheduleRetry();
        });
        this.send(this.onConnect());
        this.onOpen();
        return true;
    }

    scheduleRetry() {
        if (this.retryTimer !== null) return;
        const wait = this.retryMs;
        this.retryMs = Math.min(this.retryMs * 2, LAST_RETRY_MS);
        this.retryTimer = this.timers.setTimeout(() => {
            this.retryTimer = null;
            this.connect();
        }, wait);
    }

    // Sends one message; false when there is no connection or it is too large.
    send(message) {
        if (!this.port) return false;
        const size = encodedSize(message);
        if (size > MAX_TO_HOST) {
            this.warn(`Surfdeck: refused a ${message.type} message of ${size} bytes`);
            return false;
        }
        try {
            this.port.postMessage(message);
            return true;
        } catch {
            return false;
        }
    }
}
