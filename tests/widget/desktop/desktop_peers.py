#!/usr/bin/python3
"""Stand-ins for the desktop services the kit talks to, on the session bus.

Usage: desktop_peers.py watcher | notifications | portal <answers-file>

watcher        org.kde.StatusNotifierWatcher: records the items that register.
notifications  org.freedesktop.Notifications, with org.velto.TestNotifications
               to read the last notification and to click or close one.
portal         org.freedesktop.portal.FileChooser: answers OpenFile from the
               JSON file given ({"response": 0, "uris": [...]}) and records
               each request's arguments in <answers-file>.requests.

Each prints "ready" once it owns its name, then serves until terminated.
"""
import json
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

PROPS = "org.freedesktop.DBus.Properties"


class Watcher(dbus.service.Object):
    IFACE = "org.kde.StatusNotifierWatcher"

    def __init__(self, bus):
        super().__init__(bus, "/StatusNotifierWatcher")
        self.items = []

    @dbus.service.method(IFACE, in_signature="s", out_signature="", sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender=None):
        # A path instead of a name means the sender's own connection.
        name = service if not service.startswith("/") else sender + service
        if name not in self.items:
            self.items.append(name)
        self.StatusNotifierItemRegistered(name)
        print("registered " + name, flush=True)

    @dbus.service.method(IFACE, in_signature="s", out_signature="")
    def RegisterStatusNotifierHost(self, service):
        pass

    @dbus.service.signal(IFACE, signature="s")
    def StatusNotifierItemRegistered(self, name):
        pass

    @dbus.service.method(PROPS, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self.GetAll(interface)[name]

    @dbus.service.method(PROPS, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return {
            "RegisteredStatusNotifierItems": dbus.Array(self.items, signature="s"),
            "IsStatusNotifierHostRegistered": dbus.Boolean(True),
            "ProtocolVersion": dbus.Int32(0),
        }


class Notifications(dbus.service.Object):
    IFACE = "org.freedesktop.Notifications"
    TEST = "org.velto.TestNotifications"

    def __init__(self, bus):
        super().__init__(bus, "/org/freedesktop/Notifications")
        self.next_id = 1
        self.last = None
        self.open = set()
        self.honour_replaces = True

    @dbus.service.method(IFACE, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app, replaces, icon, summary, body, actions, hints, timeout):
        if self.honour_replaces and replaces in self.open:
            nid = replaces
        else:
            nid = self.next_id
            self.next_id += 1
        self.open.add(nid)
        self.last = (dbus.UInt32(nid), app, dbus.UInt32(replaces), icon, summary, body,
                     dbus.Array(actions, signature="s"))
        return nid

    @dbus.service.method(IFACE, in_signature="", out_signature="as")
    def GetCapabilities(self):
        return ["actions", "body"]

    @dbus.service.method(IFACE, in_signature="u", out_signature="")
    def CloseNotification(self, nid):
        self.Close(nid, 3)

    @dbus.service.method(IFACE, in_signature="", out_signature="ssss")
    def GetServerInformation(self):
        return ("test", "velto", "1", "1.2")

    @dbus.service.signal(IFACE, signature="us")
    def ActionInvoked(self, nid, key):
        pass

    @dbus.service.signal(IFACE, signature="uu")
    def NotificationClosed(self, nid, reason):
        pass

    @dbus.service.method(TEST, in_signature="", out_signature="ususssas")
    def Last(self):
        if self.last is None:
            raise dbus.exceptions.DBusException("nothing shown yet")
        return self.last

    @dbus.service.method(TEST, in_signature="b", out_signature="")
    def HonourReplaces(self, honour):
        # Some servers show every notification anew, whatever it replaces.
        self.honour_replaces = bool(honour)

    @dbus.service.method(TEST, in_signature="us", out_signature="")
    def Invoke(self, nid, key):
        # As servers do: the action, then the notification closes.
        self.ActionInvoked(nid, key)
        self.Close(nid, 2)

    @dbus.service.method(TEST, in_signature="uu", out_signature="")
    def Close(self, nid, reason):
        self.open.discard(nid)
        self.NotificationClosed(nid, reason)


class Portal(dbus.service.Object):
    IFACE = "org.freedesktop.portal.FileChooser"

    def __init__(self, bus, answers):
        super().__init__(bus, "/org/freedesktop/portal/desktop")
        self.bus = bus
        self.answers = answers
        self.count = 0

    @dbus.service.method(IFACE, in_signature="ssa{sv}", out_signature="o", sender_keyword="sender")
    def OpenFile(self, parent, title, options, sender=None):
        self.count += 1
        token = str(options.get("handle_token", "t%d" % self.count))
        caller = sender[1:].replace(".", "_")
        handle = "/org/freedesktop/portal/desktop/request/%s/%s" % (caller, token)
        with open(self.answers) as f:
            answer = json.load(f)
        record = {
            "parent": str(parent),
            "title": str(title),
            "directory": bool(options.get("directory", False)),
            "multiple": bool(options.get("multiple", False)),
            "filters": [[str(name), [[int(k), str(p)] for k, p in pats]]
                        for name, pats in options.get("filters", [])],
            "current_filter": [str(options["current_filter"][0]),
                               [[int(k), str(p)] for k, p in options["current_filter"][1]]]
            if "current_filter" in options else None,
            "current_folder": bytes(options["current_folder"]).rstrip(b"\0").decode()
            if "current_folder" in options else None,
        }
        with open(self.answers + ".requests", "a") as f:
            f.write(json.dumps(record) + "\n")
        results = {}
        if "uris" in answer:
            results["uris"] = dbus.Array(answer["uris"], signature="s")

        def respond():
            self.bus.send_message(make_response(handle, answer.get("response", 0), results))
            return False

        GLib.timeout_add(answer.get("delay_ms", 20), respond)
        return dbus.ObjectPath(handle)


def make_response(handle, response, results):
    message = dbus.lowlevel.SignalMessage(handle, "org.freedesktop.portal.Request", "Response")
    message.append(dbus.UInt32(response), dbus.Dictionary(results, signature="sv"))
    return message


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    role = sys.argv[1]
    if role == "watcher":
        keep = Watcher(bus)
        name = dbus.service.BusName("org.kde.StatusNotifierWatcher", bus)
    elif role == "notifications":
        keep = Notifications(bus)
        name = dbus.service.BusName("org.freedesktop.Notifications", bus)
    elif role == "portal":
        keep = Portal(bus, sys.argv[2])
        name = dbus.service.BusName("org.freedesktop.portal.Desktop", bus)
    else:
        sys.exit("unknown role " + role)
    print("ready", flush=True)
    GLib.MainLoop().run()
    del keep, name


if __name__ == "__main__":
    main()
