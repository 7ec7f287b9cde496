// Which browser we run in, for the hello message.

const BRANDS = [
    ['Google Chrome', 'chrome'],
    ['Microsoft Edge', 'edge'],
    ['Brave', 'brave'],
    ['Vivaldi', 'vivaldi'],
    ['Opera', 'opera'],
    ['Chromium', 'chromium'],
];

export async function identify(api, nav = globalThis.navigator) {
    if (typeof api.runtime.getBrowserInfo === 'function') {
        const info = await api.runtime.getBrowserInfo();
        return {browser: String(info.name).toLowerCase(), product: `${info.name}/${info.version}`};
    }
    let brands = nav?.userAgentData?.brands ?? [];
    try {
        const full = await nav.userAgentData.getHighEntropyValues(['fullVersionList']);
        if (Array.isArray(full?.fullVersionList)) brands = full.fullVersionList;
    } catch {
        // The major versions will do.
    }
    for (const [brand, name] of BRANDS) {
        const hit = brands.find((b) => b.brand === brand);
        if (hit) {
            const browser = name === 'chromium' && nav.brave ? 'brave' : name;
            return {browser, product: `${brand}/${hit.version}`};
        }
    }
    const m = /Chrome\/([\d.]+)/.exec(nav?.userAgent ?? '');
    return {browser: 'chromium', product: m ? `Chromium/${m[1]}` : 'Chromium'};
}
