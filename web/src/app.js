// The browser remote: connects back to the desktop that served the page and shows its screens.
import {AppsScreen} from './apps.js';
import {byId, onButton, show} from './dom.js';
import {FilesScreen} from './files.js';
import {KeysScreen} from './keys.js';
import {Session} from './session.js';
import {SystemScreen} from './system.js';

const Screens = ['apps', 'keys', 'system', 'files'];

const Rejections = {
    forgotten: 'This computer no longer knows this phone. Pair again to use it.',
    notAccepted: 'This computer no longer accepts this phone. Pair again to use it.',
    noSecret: 'This computer knows this phone, but the phone lost its pairing. Pair again to use it.',
};

const Failures = {
    protocol1: 'This computer runs a version of Pavo Server that cannot pair with a browser.',
    commitmentMismatch: 'The answer did not come from the computer itself. Check the network and reload.',
    pairingFailed: 'Pairing failed. Reload to try again.',
    exhausted: 'The connection ran too long. Reload to go on.',
};

function serverUrl() {
    return `ws://${location.host}/`;
}

function showScreen(name) {
    for (const screen of Screens) {
        show(byId(screen), screen === name);
        byId('tabs').querySelector(`[data-screen="${screen}"]`).setAttribute('aria-current', String(screen === name));
    }
}

function showConnection(text, {code = '', pairAgain = false} = {}) {
    show(byId('connect'), true);
    show(byId('main'), false);
    byId('status').textContent = text;
    byId('pairing-code').textContent = code;
    show(byId('pairing'), Boolean(code));
    show(byId('pair-again'), pairAgain);
}

function start() {
    const session = new Session({storage: localStorage, serverUrl: serverUrl()});
    const apps = new AppsScreen(session);
    const screens =
        [apps, new KeysScreen(session, () => apps.currentId), new SystemScreen(session), new FilesScreen(session)];

    session.addEventListener('state', ({state, detail}) => {
        switch (state) {
        case 'connecting':
            return showConnection('Connecting to the computer…');
        case 'waiting':
            return showConnection(
                'Compare the code: allow this phone on the computer only if it shows the same six digits.',
                {code: detail});
        case 'admitted':
            performance.mark('pavo-admitted');
            show(byId('connect'), false);
            show(byId('main'), true);
            return screens.forEach((screen) => screen.refresh());
        case 'refused':
            return showConnection('The computer did not allow this phone.', {pairAgain: true});
        case 'rejected':
            return showConnection(Rejections[detail] || Rejections.notAccepted, {pairAgain: true});
        case 'away':
            return showConnection(`Not connected. Trying again in ${detail} s…`);
        case 'failed':
            return showConnection(Failures[detail] || Failures.pairingFailed);
        }
    });
    onButton(byId('tabs'), 'data-screen', showScreen);
    byId('pair-again').addEventListener('click', () => session.pairAgain());
    document.addEventListener('visibilitychange', () => {
        if (document.visibilityState === 'visible')
            session.wake();
    });
    showScreen('apps');
    session.connect();
}

start();
