// The toolbar button's two entries: start Surfdeck (or bring it forward), and open the
// folder of saved text. The background does the work; the pop-up closes at once.
const api = globalThis.browser ?? globalThis.chrome;

for (const kind of ['launch', 'openFolder']) {
    document.getElementById(kind).addEventListener('click', async () => {
        try {
            await api.runtime.sendMessage({kind});
        } catch {
            // No answer is expected.
        }
        window.close();
    });
}
