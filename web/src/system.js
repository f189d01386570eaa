// Sound, brightness, media and the session: sliders follow the desktop's pushes, and the commands
// that end the session or stop the machine ask first.
import {byId, onButton, show} from './dom.js';

const Confirmed = new Set(['logout', 'sleep', 'restart', 'shutdown']);
const Questions = {
    logout: 'Log out of the desktop?',
    sleep: 'Put the computer to sleep?',
    restart: 'Restart the computer?',
    shutdown: 'Shut down the computer?',
};

export class SystemScreen {
    constructor(session) {
        this.session = session;
        this.volume = byId('volume');
        this.brightness = byId('brightness');
        this.mute = byId('mute');
        this.confirm = byId('confirm');
        session.on('v', (json) => this.showLevel(this.volume, byId('volume-value'), json.v));
        session.on('b', (json) => this.showLevel(this.brightness, byId('brightness-value'), json.v));
        session.on('vm', (json) => this.showMute(json.v === true));
        session.on('un', (json) => this.showUnsupported(Array.isArray(json.v) ? json.v : []));
        this.follow(this.volume, 'v');
        this.follow(this.brightness, 'b');
        this.mute.addEventListener('click',
                                   () => session.send({_: 'vm', v: this.mute.getAttribute('aria-pressed') !== 'true'}));
        onButton(byId('system'), 'data-command', (command) => this.command(command));
        this.confirm.addEventListener('close', () => {
            if (this.confirm.returnValue === 'yes')
                this.session.send({_: this.confirm.command});
        });
    }

    refresh() {
        for (const method of ['v', 'vm', 'b', 'un'])
            this.session.send({_: method});
    }

    // While a finger is on the slider the desktop's pushes would make it jump back.
    follow(slider, method) {
        const send = () => this.session.send({_: method, v: Number(slider.value)});
        slider.addEventListener('input', send);
        slider.addEventListener('change', send);
        slider.addEventListener('pointerdown', () => (slider.dataset.held = 'true'));
        const release = () => delete slider.dataset.held;
        slider.addEventListener('pointerup', release);
        slider.addEventListener('pointercancel', release);
    }

    showLevel(slider, output, level) {
        if (!Number.isInteger(level))
            return;
        output.value = String(level);
        if (!slider.dataset.held)
            slider.value = String(level);
    }

    showMute(muted) {
        this.mute.setAttribute('aria-pressed', String(muted));
        this.mute.textContent = muted ? 'Unmute' : 'Mute';
    }

    showUnsupported(features) {
        show(byId('sound-row'), !features.includes('volume'));
        show(byId('brightness-row'), !features.includes('brightness'));
    }

    command(command) {
        if (!Confirmed.has(command))
            return this.session.send(command === 'lock' ? {_: 'lock', v: true} : {_: command});
        this.confirm.command = command;
        byId('confirm-question').textContent = Questions[command];
        this.confirm.returnValue = '';
        this.confirm.showModal();
    }
}
