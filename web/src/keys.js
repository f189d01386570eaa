// The keyboard: the focused element's text to read, replace and press, common keys and free
// combinations for the current application, and a pad whose drags scroll it.
import {byId, onButton} from './dom.js';

const Shortened = '...';

export class KeysScreen {
    constructor(session, currentApp) {
        this.session = session;
        this.currentApp = currentApp;
        this.value = byId('focused-value');
        this.label = byId('focused-label');
        session.on('fe', (json) => this.showFocused(json));
        byId('focused-read').addEventListener('click', () => this.read());
        byId('focused-set').addEventListener('click', () => session.send({_: 'fv', i: '', v: this.value.value}));
        byId('focused-press').addEventListener('click', () => session.send({_: 'pf', i: ''}));
        onButton(byId('keys'), 'data-keys', (keys) => this.press(keys));
        byId('combo-form').addEventListener('submit', (event) => {
            event.preventDefault();
            this.press(byId('combo').value.trim());
        });
        this.followDrags(byId('scroll-pad'));
    }

    refresh() {
        this.read();
    }

    read() {
        this.session.send({_: 'fv', i: ''});
    }

    // Pushes carry the first line only of a longer text: the whole of it is asked for then.
    showFocused(json) {
        const value = typeof json.v === 'string' ? json.v : '';
        if ('r' in json) {
            this.label.textContent = [json.n, json.r].filter((part) => typeof part === 'string' && part).join(' · ');
            if (value.endsWith(Shortened))
                return this.session.send({_: 'fv', i: typeof json.i === 'string' ? json.i : ''});
        }
        if (document.activeElement !== this.value)
            this.value.value = value;
    }

    // Keys need an application id: they go to the one the desktop last reported in front.
    press(keys) {
        const id = this.currentApp();
        if (keys && id)
            this.session.send({_: 'ks', i: id, k: keys});
    }

    followDrags(pad) {
        let last = null;
        let pending = {x: 0, y: 0};
        let scheduled = false;
        const flush = () => {
            scheduled = false;
            const x = Math.round(pending.x);
            const y = Math.round(pending.y);
            if (x || y)
                this.session.send({_: 'as', i: '', x, y});
            pending = {x: pending.x - x, y: pending.y - y};
        };
        pad.addEventListener('pointerdown', (event) => {
            last = event;
            pad.setPointerCapture(event.pointerId);
        });
        pad.addEventListener('pointermove', (event) => {
            if (!last)
                return;
            // Dragging moves the content with the finger, as on the phone's own pages.
            pending.x += last.clientX - event.clientX;
            pending.y += last.clientY - event.clientY;
            last = event;
            if (!scheduled) {
                scheduled = true;
                requestAnimationFrame(flush);
            }
        });
        const stop = () => (last = null);
        pad.addEventListener('pointerup', stop);
        pad.addEventListener('pointercancel', stop);
    }
}
