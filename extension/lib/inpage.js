// Functions the background sends into pages with scripting.executeScript: each runs
// there on its own, so it may use nothing from this file's scope.

// Runs in the frame of the selection: getSelection keeps the line breaks that the
// menu's selectionText drops; a text field keeps its selection to itself.
export function readSelection() {
    const el = document.activeElement;
    if (el && typeof el.selectionStart === 'number' && typeof el.value === 'string') {
        const inField = el.value.slice(el.selectionStart, el.selectionEnd);
        if (inField) return inField;
    }
    return String(getSelection());
}

// Runs in the page: what it can tell of its own history.
export function probeHistory() {
    let entries = null;
    let index = -1;
    try {
        if (window.navigation) {
            entries = navigation.entries().map((e) => e.url);
            index = navigation.currentEntry ? navigation.currentEntry.index : -1;
        }
    } catch {
        entries = null;
    }
    const activated = !!navigator.userActivation?.hasBeenActive;
    return {url: location.href, length: history.length, entries, index, activated};
}
