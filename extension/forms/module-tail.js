export default class PavoExtension extends Extension {
    enable() {
        this._service = new PavoService(this.metadata.version);
    }

    disable() {
        this._service.destroy();
        this._service = null;
    }
}
