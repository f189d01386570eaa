// The installed applications, most recently used first, each a button that brings it to the
// front, and a sheet of window actions and the application's menu.
import {byId, element, onButton} from './dom.js';
import {devicePixels, ImageCache} from './images.js';

const IconSize = 48;

export class AppsScreen {
    constructor(session) {
        this.session = session;
        this.icons = new ImageCache();
        this.iconSize = devicePixels(IconSize);
        this.list = byId('app-list');
        this.sheet = byId('app-sheet');
        this.apps = [];
        this.currentId = '';
        this.drawnOnce = false;
        session.on('ia', (json) => this.showApps(json.apps));
        session.on('ca', (json) => this.showCurrent(json.i));
        session.on('ai', (json, attachments) => this.showIcon(json, attachments));
        session.on('am', (json, attachments) => this.showMenu(json.i, attachments));
        this.list.addEventListener('click', (event) => this.onListClick(event));
        onButton(this.sheet, 'data-action', (action) => this.perform(action));
        byId('app-menu').addEventListener('click', (event) => this.onMenuClick(event));
    }

    // Asked again after every admission: the desktop may have changed while the page was away.
    refresh() {
        this.drawnOnce = false;
        this.icons.forgetWaiting();
        this.session.send({_: 'ia'});
        this.session.send({_: 'ca'});
    }

    showApps(apps) {
        if (!Array.isArray(apps))
            return;
        this.apps = apps.filter((app) => app && typeof app.i === 'string' && app.i);
        this.list.replaceChildren(...this.apps.map((app) => this.entry(app)));
        for (const app of this.apps)
            this.icons.askOnce(app.i, () => this.session.send({_: 'ai', i: app.i, s: this.iconSize}));
        this.markWhenDrawn();
    }

    entry(app) {
        const icon = element('img', {attributes: {alt: '', width: IconSize, height: IconSize}});
        const url = this.icons.get(app.i);
        if (url)
            icon.src = url;
        const item = element('li', {className: 'app', attributes: {'data-id': app.i}}, [
            element('button', {className: 'app-activate'},
                    [
                        icon,
                        element('span', {className: 'app-name', text: String(app.n ?? app.i)}),
                    ]),
            element('button', {className: 'app-actions', text: '⋯', attributes: {'aria-label': 'Actions'}}),
        ]);
        item.classList.toggle('running', app.s === 'r');
        item.classList.toggle('current', app.i === this.currentId);
        return item;
    }

    showCurrent(id) {
        this.currentId = typeof id === 'string' ? id : '';
        for (const item of this.list.children)
            item.classList.toggle('current', item.dataset.id === this.currentId);
    }

    showIcon(json, attachments) {
        if (typeof json.i !== 'string' || json.s !== this.iconSize)
            return;
        const url = this.icons.store(json.i, attachments);
        const item = this.item(json.i);
        if (item && url)
            item.querySelector('img').src = url;
        this.markWhenDrawn();
    }

    // For the measure of how quickly a phone sees its desktop: the list with every icon painted.
    async markWhenDrawn() {
        if (this.drawnOnce || this.apps.some((app) => this.icons.get(app.i) === undefined))
            return;
        this.drawnOnce = true;
        const images = [...this.list.querySelectorAll('img[src]')];
        await Promise.all(images.map((image) => image.decode().catch(() => {})));
        performance.mark('pavo-apps-drawn');
    }

    item(id) {
        return [...this.list.children].find((item) => item.dataset.id === id);
    }

    onListClick(event) {
        const button = event.target.closest('button');
        const item = button && button.closest('li.app');
        if (!item)
            return;
        if (button.classList.contains('app-activate'))
            this.session.send({_: 'aa', i: item.dataset.id});
        else
            this.openSheet(item.dataset.id);
    }

    openSheet(id) {
        const app = this.apps.find((candidate) => candidate.i === id);
        this.sheetId = id;
        byId('app-sheet-title').textContent = String(app ? app.n ?? id : id);
        byId('app-menu').replaceChildren();
        this.session.send({_: 'am', i: id});
        this.sheet.showModal();
    }

    perform(action) {
        if (action === 'close')
            return this.sheet.close();
        this.session.send({_: action, i: this.sheetId});
        this.sheet.close();
    }

    showMenu(id, attachments) {
        if (id !== this.sheetId)
            return;
        const tree = attachments.find((attachment) => attachment.kind === 0);
        let items;
        try {
            items = JSON.parse(new TextDecoder().decode(tree.bytes));
        } catch {
            return;
        }
        byId('app-menu').replaceChildren(menuTree(items));
    }

    onMenuClick(event) {
        const button = event.target.closest('button.menu-item');
        if (!button)
            return;
        this.session.send({_: 'pm', i: this.sheetId, m: button.dataset.item});
        this.sheet.close();
    }
}

// Items with children are folded sections; leaves are buttons that perform the item.
function menuTree(items) {
    const list = element('ul', {className: 'menu'});
    for (const item of Array.isArray(items) ? items : []) {
        if (!item || typeof item.i !== 'string')
            continue;
        const title = String(item.n ?? '');
        if (Array.isArray(item.m) && item.m.length) {
            list.append(
                element('li', {}, [element('details', {}, [element('summary', {text: title}), menuTree(item.m)])]));
        } else {
            const button = element('button', {className: 'menu-item', text: title});
            button.dataset.item = item.i;
            list.append(element('li', {}, [button]));
        }
    }
    return list;
}
