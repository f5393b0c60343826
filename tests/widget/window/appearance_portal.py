#!/usr/bin/python3
"""A stand-in for the desktop portal's Settings interface on the session bus.

Usage: appearance_portal.py <color-scheme>

Serves org.freedesktop.portal.Settings Read and ReadOne for
org.freedesktop.appearance color-scheme (0 no preference, 1 dark, 2 light).
org.velto.TestAppearance.Change(u) stores a new scheme and sends it as
SettingChanged, as a desktop does when the user switches. Prints "ready" once
it owns its name.
"""
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

IFACE = "org.freedesktop.portal.Settings"
NAMESPACE = "org.freedesktop.appearance"


class Settings(dbus.service.Object):
    def __init__(self, bus, scheme):
        super().__init__(bus, "/org/freedesktop/portal/desktop")
        self.scheme = scheme

    def value(self, namespace, key):
        if namespace != NAMESPACE or key != "color-scheme":
            raise dbus.exceptions.DBusException(
                "no such setting", name="org.freedesktop.portal.Error.NotFound")
        return dbus.UInt32(self.scheme, variant_level=1)

    @dbus.service.method(IFACE, in_signature="ss", out_signature="v")
    def Read(self, namespace, key):
        # The old call wraps the value in one more variant.
        return dbus.UInt32(self.value(namespace, key), variant_level=2)

    @dbus.service.method(IFACE, in_signature="ss", out_signature="v")
    def ReadOne(self, namespace, key):
        return self.value(namespace, key)

    @dbus.service.signal(IFACE, signature="ssv")
    def SettingChanged(self, namespace, key, value):
        pass

    @dbus.service.method("org.velto.TestAppearance", in_signature="u", out_signature="")
    def Change(self, scheme):
        self.scheme = scheme
        self.SettingChanged(NAMESPACE, "color-scheme", dbus.UInt32(scheme, variant_level=1))


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    settings = Settings(bus, int(sys.argv[1]))
    name = dbus.service.BusName("org.freedesktop.portal.Desktop", bus)
    print("ready", flush=True)
    GLib.MainLoop().run()
    del name, settings


if __name__ == "__main__":
    main()
