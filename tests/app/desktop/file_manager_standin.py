#!/usr/bin/python3
"""A file manager on the session bus for tests: it owns
org.freedesktop.FileManager1 and appends each ShowItems call it receives to
the file named by its argument, one line per call. Prints "ready" once it owns
the name."""
import os
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

NAME = "org.freedesktop.FileManager1"
PATH = "/org/freedesktop/FileManager1"


class FileManager(dbus.service.Object):
    def __init__(self, bus, record):
        super().__init__(bus, PATH)
        self.record = record

    @dbus.service.method(NAME, in_signature="ass", out_signature="")
    def ShowItems(self, uris, startup_id):
        with open(self.record + ".tmp", "w") as out:
            out.write("ShowItems %s startup=%s\n" % (" ".join(uris), startup_id))
        os.replace(self.record + ".tmp", self.record)


def main():
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    # Started by the bus itself, it is told the address as the starter's.
    address = os.environ.get("DBUS_STARTER_ADDRESS") or os.environ["DBUS_SESSION_BUS_ADDRESS"]
    bus = dbus.bus.BusConnection(address)
    bus.set_exit_on_disconnect(True)
    # The object first, and the name only once the loop runs: a call that
    # started us is delivered as soon as we own the name.
    manager = FileManager(bus, sys.argv[1])
    names = []

    def own_name():
        names.append(dbus.service.BusName(NAME, bus))
        print("ready", flush=True)
        return False

    GLib.idle_add(own_name)
    GLib.MainLoop().run()
    del manager, names


if __name__ == "__main__":
    main()
