// PNG attachments become object URLs, kept for the page's lifetime: icons are asked once per key.
export class ImageCache {
    constructor() {
        this.urls = new Map();
        this.waiting = new Map();
    }

    get(key) {
        return this.urls.get(key);
    }

    has(key) {
        return this.urls.has(key) || this.waiting.has(key);
    }

    // Asks for an image unless it is known or already on its way: repeated lists ask once.
    askOnce(key, ask) {
        if (this.has(key))
            return;
        this.waiting.set(key, true);
        ask();
    }

    // Answers asked for on a connection that dropped never come: ask again on the next one.
    forgetWaiting() {
        this.waiting.clear();
    }

    store(key, attachments) {
        this.waiting.delete(key);
        const png = attachments.find((attachment) => attachment.kind === 1);
        const url = png && png.bytes.length ? URL.createObjectURL(new Blob([png.bytes], {type: 'image/png'})) : '';
        const old = this.urls.get(key);
        if (old)
            URL.revokeObjectURL(old);
        this.urls.set(key, url);
        return url;
    }
}

// Edge length in device pixels for an image drawn `cssPixels` wide.
export function devicePixels(cssPixels) {
    return Math.max(16, Math.round(cssPixels * (window.devicePixelRatio || 1)));
}
