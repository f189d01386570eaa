class PavoExtension {
    enable() {
        this._service = new PavoService(ExtensionUtils.getCurrentExtension().metadata.version);
    }

    disable() {
        this._service.destroy();
        this._service = null;
    }
}

function init() {
    return new PavoExtension();
}
