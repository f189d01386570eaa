// A file browser from the home folder: folders open in place, files open on the desktop with its
// default application; images show a preview in the list.
import {byId, element} from './dom.js';
import {devicePixels, ImageCache} from './images.js';

const IconSize = 32;
const PreviewSize = 64;
// Suffixes are cached under their own text: a slash can never be one.
const FolderKey = '/';
const ImageSuffixes = new Set(['png', 'jpg', 'jpeg', 'gif', 'webp', 'bmp', 'svg', 'tif', 'tiff']);

export class FilesScreen {
    constructor(session) {
        this.session = session;
        this.typeIcons = new ImageCache();
        this.previews = new ImageCache();
        this.iconSize = devicePixels(IconSize);
        this.previewSize = devicePixels(PreviewSize);
        this.list = byId('file-list');
        this.path = '';
        session.on('dl', (json) => this.showListing(json));
        session.on('fi', (json, attachments) => this.showTypeIcon(json, attachments));
        session.on('fp', (json, attachments) => this.showPreview(json, attachments));
        this.list.addEventListener('click', (event) => this.onListClick(event));
        byId('file-up').addEventListener('click', () => this.open(parentOf(this.path)));
    }

    refresh() {
        this.typeIcons.forgetWaiting();
        this.previews.forgetWaiting();
        this.open(this.path);
    }

    open(path) {
        this.session.send({_: 'dl', p: path});
    }

    showListing(json) {
        if (typeof json.p !== 'string' || !Array.isArray(json.files))
            return;
        this.path = json.p;
        byId('file-dir').textContent = typeof json.n === 'string' && json.n ? json.n : json.p;
        byId('file-up').disabled = parentOf(json.p) === json.p;
        const files = json.files.filter((file) => file && typeof file.n === 'string');
        this.list.replaceChildren(...files.map((file) => this.entry(file)));
    }

    entry(file) {
        const directory = file.t === 'd';
        const suffix = directory ? '' : suffixOf(file.n);
        const icon = element('img', {attributes: {alt: '', width: IconSize, height: IconSize}});
        const item =
            element('li', {className: directory ? 'file directory' : 'file', attributes: {'data-name': file.n}}, [
                element('button', {className: 'file-open'},
                        [icon, element('span', {className: 'file-name', text: file.n})]),
            ]);
        const path = joinPath(this.path, file.n);
        // Every folder looks alike: the first one's icon stands for all.
        if (directory && !this.typeIcons.has(FolderKey))
            this.folderIconPath = path;
        if (directory)
            this.askIcon(FolderKey, icon, {_: 'fi', p: path, s: this.iconSize});
        else
            this.askIcon(suffix, icon, {_: 'fi', p: '', t: suffix, s: this.iconSize});
        if (!directory && ImageSuffixes.has(suffix))
            this.askPreview(path, item);
        return item;
    }

    // Icons are asked once per suffix, and once for all folders.
    askIcon(key, icon, request) {
        const url = this.typeIcons.get(key);
        if (url)
            icon.src = url;
        this.typeIcons.askOnce(key, () => this.session.send(request));
    }

    askPreview(path, item) {
        const url = this.previews.get(path);
        if (url !== undefined)
            return this.placePreview(item, url);
        this.previews.askOnce(path,
                              () => this.session.send({_: 'fp', p: path, w: this.previewSize, h: this.previewSize}));
    }

    showTypeIcon(json, attachments) {
        if (json.s !== this.iconSize)
            return;
        const folder = typeof json.p === 'string' && json.p === this.folderIconPath;
        if (!folder && typeof json.t !== 'string')
            return;
        const key = folder ? FolderKey : json.t;
        const url = this.typeIcons.store(key, attachments);
        for (const item of this.list.querySelectorAll('li.file')) {
            const itemKey = item.classList.contains('directory') ? FolderKey : suffixOf(item.dataset.name);
            if (itemKey === key && url)
                item.querySelector('img').src = url;
        }
    }

    showPreview(json, attachments) {
        if (typeof json.p !== 'string')
            return;
        const url = this.previews.store(json.p, attachments);
        const item =
            [...this.list.children].find((candidate) => joinPath(this.path, candidate.dataset.name) === json.p);
        if (item)
            this.placePreview(item, url);
    }

    placePreview(item, url) {
        if (url && !item.querySelector('.file-preview'))
            item.append(element('img', {className: 'file-preview', attributes: {alt: '', src: url}}));
    }

    onListClick(event) {
        const item = event.target.closest('li.file');
        if (!item)
            return;
        const path = joinPath(this.path, item.dataset.name);
        if (item.classList.contains('directory'))
            this.open(path);
        else
            this.session.send({_: 'fo', p: path, i: ''});
    }
}

function suffixOf(name) {
    const dot = name.lastIndexOf('.');
    return dot > 0 ? name.slice(dot + 1).toLowerCase() : '';
}

function joinPath(directory, name) {
    return directory.endsWith('/') ? directory + name : `${directory}/${name}`;
}

function parentOf(path) {
    const cut = path.replace(/\/+$/, '').lastIndexOf('/');
    return cut <= 0 ? '/' : path.slice(0, cut);
}
