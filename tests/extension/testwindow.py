#!/usr/bin/python3
# A window with a text entry for the shell extension's test: prints "text <entry text>" whenever
# the text changes and "state <maximized> <fullscreen>" whenever the window's state does.
import gi

gi.require_version("Gdk", "3.0")
gi.require_version("Gtk", "3.0")
from gi.repository import Gdk, Gio, Gtk

APP_ID = "org.osmunda.PavoTestWindow"


def report(*words):
    print(*words, flush=True)


def on_state(window, event):
    state = event.new_window_state
    report("state", int(bool(state & Gdk.WindowState.MAXIMIZED)), int(bool(state & Gdk.WindowState.FULLSCREEN)))
    return False


def on_activate(app):
    window = Gtk.ApplicationWindow(application=app, title="Pavo test window")
    window.set_default_size(400, 200)
    entry = Gtk.Entry()
    entry.connect("changed", lambda widget: report("text", widget.get_text()))
    window.connect("window-state-event", on_state)
    window.add(entry)
    window.show_all()
    entry.grab_focus()


app = Gtk.Application(application_id=APP_ID, flags=Gio.ApplicationFlags.NON_UNIQUE)
app.connect("activate", on_activate)
app.run(None)
