// Chromium: the related-sites page is fetched and parsed by an offscreen document, made
// when a lookup needs it and closed again when lookups stop, so the browser does not
// keep a page around for nothing.

const IDLE_CLOSE_MS = 30000;

export class OffscreenReader {
    constructor(api, {timers = globalThis, url = 'offscreen.html'} = {}) {
        this.api = api;
        this.timers = timers;
        this.url = url;
        this.creating = null;
        this.busy = 0;
        this.closeTimer = null;
        this.fetchPage = (args) => this.run(args);
    }

    async ensure() {
        const {offscreen} = this.api;
        if (await offscreen.hasDocument()) return;
        this.creating ??=
            offscreen
                .createDocument({
                    url: this.url,
                    reasons: ['DOM_PARSER'],
                    justification: 'Reads pages for the related-sites list of Surfdeck.',
                })
                .finally(() => {
                    this.creating = null;
                });
        await this.creating;
    }

    async run(args) {
        this.busy++;
        this.timers.clearTimeout(this.closeTimer);
        try {
            await this.ensure();
            const answer = await this.api.runtime.sendMessage({
                target: 'offscreen',
                kind: 'fetchPage',
                url: args.url,
                html: args.html,
            });
            if (!answer) throw new Error('the page reader did not answer');
            if (!answer.ok) throw new Error(answer.error);
            return {html: answer.html};
        } finally {
            if (--this.busy === 0) {
                this.closeTimer = this.timers.setTimeout(() => {
                    this.api.offscreen.closeDocument().catch(() => {});
                }, IDLE_CLOSE_MS);
            }
        }
    }
}
