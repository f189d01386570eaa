// The element with the keyboard focus, followed on the accessibility bus: its role, name and
// text, its editable text and its default action.

// Roles as the program names them; an element of any other role reads as no element. GTK gives
// one-line entries and text views alike the role TEXT: their state tells them apart.
const ELEMENT_ROLES = new Map([
    [Atspi.Role.ENTRY, 'text'],
    [Atspi.Role.PASSWORD_TEXT, 'text'],
    [Atspi.Role.SPIN_BUTTON, 'text'],
    [Atspi.Role.TEXT, 'text'],
    [Atspi.Role.PARAGRAPH, 'textArea'],
    [Atspi.Role.DOCUMENT_TEXT, 'textArea'],
    [Atspi.Role.LIST, 'list'],
    [Atspi.Role.LIST_BOX, 'list'],
    [Atspi.Role.TREE, 'list'],
    [Atspi.Role.TABLE, 'table'],
    [Atspi.Role.TREE_TABLE, 'table'],
    [Atspi.Role.PUSH_BUTTON, 'button'],
    [Atspi.Role.TOGGLE_BUTTON, 'button'],
    [Atspi.Role.CHECK_BOX, 'button'],
    [Atspi.Role.RADIO_BUTTON, 'button'],
    [Atspi.Role.FRAME, 'window'],
    [Atspi.Role.WINDOW, 'window'],
    [Atspi.Role.DIALOG, 'window'],
]);

const FOCUS_EVENT = 'object:state-changed:focused';
const NO_ELEMENT = ['', '', ''];

function hasInterface(element, name) {
    return element.get_interfaces().includes(name);
}

function roleOf(element) {
    const role = ELEMENT_ROLES.get(element.get_role());
    if (role === 'text' && element.get_state_set().contains(Atspi.StateType.MULTI_LINE))
        return 'textArea';
    return role;
}

// -1 for an element whose application has gone.
function processOf(element) {
    try {
        return element.get_process_id();
    } catch (error) {
        return -1;
    }
}

function textOf(element) {
    return hasInterface(element, 'Text') ? element.get_text(0, -1) : '';
}

// The focused element of the application's active window, for when its focus event went by
// unseen: before the extension was enabled, or before the application listened for listeners.
function findFocused(pids) {
    const desktop = Atspi.get_desktop(0);
    const rule = Atspi.MatchRule.new(Atspi.StateSet.new([Atspi.StateType.FOCUSED]), Atspi.CollectionMatchType.ALL,
        {}, Atspi.CollectionMatchType.NONE, [], Atspi.CollectionMatchType.NONE, [], Atspi.CollectionMatchType.NONE,
        false);
    for (let i = 0; i < desktop.get_child_count(); i++) {
        const application = desktop.get_child_at_index(i);
        if (!application || !pids.includes(application.get_process_id()))
            continue;
        for (let j = 0; j < application.get_child_count(); j++) {
            const window = application.get_child_at_index(j);
            if (!window?.get_state_set().contains(Atspi.StateType.ACTIVE))
                continue;
            const [focused] = window.get_matches(rule, Atspi.CollectionSortOrder.CANONICAL, 1, true);
            if (focused)
                return focused;
        }
    }
    return null;
}

class FocusedElement {
    constructor(changes) {
        this._element = null;
        this._listener = null;
        // Each question goes to the application and waits for it: an application that hangs must
        // not hang the shell for long.
        if (Atspi.init() > 1)
            return;
        Atspi.set_timeout(250, 250);
        this._listener = Atspi.EventListener.new(event => {
            if (event.detail1 !== 1)
                return;
            this._element = event.source;
            changes.changed('a11y_focused');
        });
        this._listener.register(FOCUS_EVENT);
    }

    get available() {
        return this._listener !== null;
    }

    // The focused element of the application, when it has one.
    _focusedIn(app) {
        if (!app || !this.available)
            return null;
        const pids = app.get_pids();
        if (!this._element || !pids.includes(processOf(this._element)))
            this._element = findFocused(pids);
        return this._element;
    }

    describe(app) {
        const element = this._focusedIn(app);
        if (!element)
            return NO_ELEMENT;
        const role = roleOf(element);
        return role ? [role, element.get_name() ?? '', textOf(element)] : NO_ELEMENT;
    }

    setText(text) {
        if (!this._element || !hasInterface(this._element, 'EditableText'))
            throw refusal(Gio.DBusError.NOT_SUPPORTED, 'The focused element takes no text');
        this._element.set_text_contents(text);
    }

    perform(app) {
        const element = this._focusedIn(app);
        if (!element || !hasInterface(element, 'Action'))
            throw refusal(Gio.DBusError.NOT_SUPPORTED, 'The focused element has no action');
        element.do_action(0);
    }

    destroy() {
        this._listener?.deregister(FOCUS_EVENT);
        this._listener = null;
        this._element = null;
    }
}
