// The real program on a desktop of the test's own: a temporary home, a session bus, the shell
// extension's stand-in and a tray panel. What the desktop was asked to do is read from their
// outputs: the stand-in prints every call it gets, and the file opener (a stand-in xdg-open on
// PATH, so nothing opens for real) prints on the program's own output, which it inherits.
import {execFile, spawn} from 'node:child_process';
import {once} from 'node:events';
import {chmodSync, mkdirSync, mkdtempSync, rmSync, writeFileSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {join} from 'node:path';
import {createInterface} from 'node:readline';
import {setTimeout as delay} from 'node:timers/promises';
import {fileURLToPath} from 'node:url';
import {promisify} from 'node:util';

const run = promisify(execFile);
const hand = fileURLToPath(new URL('desktop.py', import.meta.url));
const answerPrompt = fileURLToPath(new URL('../../../tools/answer-prompt.sh', import.meta.url));
const Seconds = 15;

// A child whose output lines are kept, and waited for.
class Output {
    constructor(child) {
        this.lines = [];
        this.waiters = new Set();
        createInterface({input: child.stdout}).on('line', line => {
            this.lines.push(line);
            for (const waiter of this.waiters)
                waiter();
        });
    }

    // The first line that matches, whether it came already or comes within the time.
    async line(pattern, what) {
        let found;
        const seen = () => (found = this.lines.find(line => pattern.test(line))) !== undefined;
        if (seen())
            return found;
        let waiter;
        const arrived = new Promise(resolve => (waiter = () => seen() && resolve(found)));
        this.waiters.add(waiter);
        const deadline = delay(Seconds * 1000, null, {ref: false}).then(() => {
            throw new Error(`${what} did not happen within ${Seconds} s; seen:\n${this.lines.join('\n')}`);
        });
        try {
            return await Promise.race([arrived, deadline]);
        } finally {
            this.waiters.delete(waiter);
        }
    }
}

export class DesktopSession {
    // state: the stand-in's desktop; lastUsed: application id -> seconds since the epoch.
    constructor({state, lastUsed = {}}) {
        this.work = mkdtempSync(join(tmpdir(), 'pavo-browser-'));
        this.home = join(this.work, 'home');
        const runtime = join(this.work, 'runtime');
        const bin = join(this.work, 'bin');
        for (const folder of [this.home, runtime, bin, join(this.work, 'tmp')])
            mkdirSync(folder, {recursive: true});
        chmodSync(runtime, 0o700);
        // Services the bus starts, the accessibility bus among them, keep to these folders too.
        this.env = {
            ...process.env,
            HOME: this.home,
            XDG_CONFIG_HOME: join(this.home, '.config'),
            XDG_CACHE_HOME: join(this.home, '.cache'),
            XDG_DATA_HOME: join(this.home, '.local/share'),
            XDG_RUNTIME_DIR: runtime,
            TMPDIR: join(this.work, 'tmp'),
            PATH: `${bin}:${process.env.PATH}`,
            // The hand finds the program's menu entries and buttons by their English texts.
            LC_ALL: 'C.UTF-8',
            LANGUAGE: '',
        };
        writeFileSync(join(bin, 'gnome-extensions'), '#!/bin/sh\nexit 0\n', {mode: 0o755});
        writeFileSync(join(bin, 'xdg-open'), '#!/bin/sh\necho "xdg-open $*"\n', {mode: 0o755});
        writeFileSync(join(this.work, 'desktop.json'), JSON.stringify(state));
        const settings = join(this.env.XDG_CONFIG_HOME, 'Corvin Osmunda');
        mkdirSync(settings, {recursive: true});
        const times = Object.entries(lastUsed).map(([id, time]) => `${id}=${time}`);
        writeFileSync(join(settings, 'Pavo Server.conf'),
                      ['[General]', 'welcome=true', '', '[t]', ...times, ''].join('\n'));
        this.children = [];
        this.errors = [];
    }

    async start({program, standIn, panel}) {
        const bus = this.spawn('dbus-daemon',
                               ['--session', '--nofork', `--address=unix:dir=${this.work}`, '--print-address=1']);
        const [address] = await once(createInterface({input: bus.stdout}), 'line');
        this.env.DBUS_SESSION_BUS_ADDRESS = address;
        this.desktop = new Output(this.spawn(standIn, [join(this.work, 'desktop.json')]));
        this.spawn(panel, []);
        for (const name of ['org.gnome.Shell', 'org.kde.StatusNotifierWatcher'])
            await run('gdbus', ['wait', '--session', '--timeout', `${Seconds}`, name], {env: this.env});
        this.program = this.spawn(program, [], {QT_LINUX_ACCESSIBILITY_ALWAYS_ON: '1'});
        this.opener = new Output(this.program);
        this.port = await this.listeningPort();
    }

    spawn(command, args, extraEnv = {}) {
        const child = spawn(command, args, {env: {...this.env, ...extraEnv}, stdio: ['ignore', 'pipe', 'pipe']});
        child.stderr.setEncoding('utf8').on('data', text => this.errors.push(text));
        this.children.push(child);
        return child;
    }

    // As the other scripts find it: the program's listening socket, once it has one.
    async listeningPort() {
        for (let tries = 0; tries < Seconds * 10; ++tries) {
            if (this.program.exitCode !== null)
                throw new Error(`The program ended before it listened:\n${this.errors.join('')}`);
            const {stdout} = await run('ss', ['-Hltnp']);
            const line = stdout.split('\n').find(line => line.includes(`pid=${this.program.pid},`));
            if (line)
                return Number(line.split(/\s+/)[3].split(':').pop());
            await delay(100);
        }
        throw new Error('The program did not start listening');
    }

    async pairingCode() {
        return (await run('/usr/bin/python3', [hand, 'code'], {env: this.env})).stdout.trim();
    }

    async authorize() {
        await run('bash', [answerPrompt, process.env.DISPLAY, 'authorize'], {env: this.env});
    }

    // As a user does it: Preferences... in the tray menu, then the button in that dialog.
    async deauthorizeAll() {
        await run('/usr/bin/python3', [hand, 'menu', 'Preferences...'], {env: this.env});
        await run('/usr/bin/python3', [hand, 'press', 'Deauthorize All'], {env: this.env});
    }

    // A call the stand-in extension received, as "name(argument,...)".
    call(pattern) {
        return this.desktop.line(pattern, `The desktop call ${pattern}`);
    }

    opened(pattern) {
        return this.opener.line(pattern, `Opening ${pattern}`);
    }

    // Newest first: the program goes before its desktop and its bus, so it never sees them vanish.
    async stop() {
        for (const child of this.children.reverse()) {
            if (child.exitCode === null && child.signalCode === null) {
                child.kill();
                await once(child, 'exit');
            }
        }
        rmSync(this.work, {recursive: true, force: true});
    }
}
