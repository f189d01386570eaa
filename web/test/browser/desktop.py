#!/usr/bin/python3
"""desktop.py code | menu LABEL | press LABEL

The browser test's hand on the program's own windows, as a user and a screen reader reach them:
  code         prints the six-digit code that the open pairing prompt shows (read through the
               accessibility bus, so the program must run with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1);
  menu LABEL   chooses the entry LABEL of the program's tray menu, as the panel offers it;
  press LABEL  presses the push button LABEL of one of the program's windows.
Each waits up to ten seconds for what it needs to show up, and fails when it does not."""
import re
import sys
import time

from gi.repository import Gio, GLib

ACCESSIBLE = 'org.a11y.atspi.Accessible'
ROLE_LABEL = 29
ROLE_PUSH_BUTTON = 43
SECONDS = 10

session = Gio.bus_get_sync(Gio.BusType.SESSION)


def call(bus, name, path, interface, method, arguments=None):
    return bus.call_sync(name, path, interface, method, arguments, None, Gio.DBusCallFlags.NONE, 5000,
                         None).unpack()


def accessibility_bus():
    address, = call(session, 'org.a11y.Bus', '/org/a11y/bus', 'org.a11y.Bus', 'GetAddress')
    flags = Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION
    return Gio.DBusConnection.new_for_address_sync(address, flags, None, None)


def accessibles(bus, name='org.a11y.atspi.Registry', path='/org/a11y/atspi/accessible/root'):
    """Every object of every program on the accessibility bus, as (name, path, role, text)."""
    text, = call(bus, name, path, 'org.freedesktop.DBus.Properties', 'Get', GLib.Variant('(ss)', (ACCESSIBLE, 'Name')))
    role, = call(bus, name, path, ACCESSIBLE, 'GetRole')
    yield name, path, role, text
    children, = call(bus, name, path, ACCESSIBLE, 'GetChildren')
    for child_name, child_path in children:
        yield from accessibles(bus, child_name, child_path)


def first(find, what):
    deadline = time.monotonic() + SECONDS
    while True:
        try:
            found = find()
        except GLib.Error:
            found = None  # a window that closed while it was read
        if found:
            return found
        if time.monotonic() > deadline:
            sys.exit(f'{what} did not show up within {SECONDS} s')
        time.sleep(0.2)


def accessible(role, matches, what):
    bus = accessibility_bus()
    return first(lambda: next((a for a in accessibles(bus) if a[2] == role and matches(a[3])), None), what)


def menu_entry_id(layout, label):
    entry_id, properties, children = layout
    if properties.get('label') == label:
        return entry_id
    return next((i for i in (menu_entry_id(child, label) for child in children) if i is not None), None)


def choose_menu_entry(label):
    def find():
        items, = call(session, 'org.kde.StatusNotifierWatcher', '/StatusNotifierWatcher',
                      'org.freedesktop.DBus.Properties', 'Get',
                      GLib.Variant('(ss)', ('org.kde.StatusNotifierWatcher', 'RegisteredStatusNotifierItems')))
        for owner in items:
            _, layout = call(session, owner, '/MenuBar', 'com.canonical.dbusmenu', 'GetLayout',
                             GLib.Variant('(iias)', (0, -1, [])))
            entry_id = menu_entry_id(layout, label)
            if entry_id is not None:
                return owner, entry_id
        return None

    owner, entry_id = first(find, f'The tray menu entry "{label}"')
    call(session, owner, '/MenuBar', 'com.canonical.dbusmenu', 'Event',
         GLib.Variant('(isvu)', (entry_id, 'clicked', GLib.Variant('i', 0), int(time.time()))))


def main(arguments):
    if arguments == ['code']:
        print(accessible(ROLE_LABEL, lambda text: re.fullmatch(r'\d{6}', text), 'A pairing code')[3])
    elif len(arguments) == 2 and arguments[0] == 'menu':
        choose_menu_entry(arguments[1])
    elif len(arguments) == 2 and arguments[0] == 'press':
        name, path, _, _ = accessible(ROLE_PUSH_BUTTON, lambda text: text == arguments[1],
                                      f'The button "{arguments[1]}"')
        call(accessibility_bus(), name, path, 'org.a11y.atspi.Action', 'DoAction', GLib.Variant('(i)', (0,)))
    else:
        sys.exit(__doc__)


main(sys.argv[1:])
