// Only needs to exist: a running service worker shows the extension is installed and on.
self.addEventListener("install", () => {});
