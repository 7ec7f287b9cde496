// Sizes on the native-messaging hop. The bridge ends its stream on anything larger than
// it accepts, so we refuse such a message here, where it can still be answered.

export const MAX_TO_HOST = 8 * 1024 * 1024;

const encoder = new TextEncoder();

export function encodedSize(message) { return encoder.encode(JSON.stringify(message)).length; }

// A message from the host is usable only as an object with a string type.
export function isMessage(value) {
    return (
        value !== null && typeof value === 'object' && !Array.isArray(value) &&
        typeof value.type === 'string');
}
