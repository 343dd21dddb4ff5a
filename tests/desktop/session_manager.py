#!/usr/bin/python3
"""A stand-in for the desktop's session manager on a private session bus:
logs each Inhibit and Uninhibit call to the file named, after "ready"."""
import sys

from gi.repository import Gio, GLib

XML = """<node><interface name="org.gnome.SessionManager">
<method name="Inhibit"><arg type="s"/><arg type="u"/><arg type="s"/><arg type="u"/><arg type="u" direction="out"/></method>
<method name="Uninhibit"><arg type="u"/></method></interface></node>"""
log = open(sys.argv[1], "a", buffering=1)


def call(connection, sender, path, interface, method, parameters, invocation):
    log.write(f"{method} {parameters.unpack()}\n")
    invocation.return_value(GLib.Variant("(u)", (7,)) if method == "Inhibit" else None)


def acquired(connection, name):
    connection.register_object("/org/gnome/SessionManager", Gio.DBusNodeInfo.new_for_xml(XML).interfaces[0],
                               call, None, None)


Gio.bus_own_name(Gio.BusType.SESSION, "org.gnome.SessionManager", Gio.BusNameOwnerFlags.NONE, acquired,
                 lambda connection, name: log.write("ready\n"), None)
GLib.MainLoop().run()
