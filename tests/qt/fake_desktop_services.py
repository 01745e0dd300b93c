#!/usr/bin/python3
"""Stand-ins for a file manager, the Plasma shell and the desktop portal on the session bus, for
the desktop tests.

    fake_desktop_services.py LOG SERVICE[,SERVICE...]

SERVICE is "filemanager" (org.freedesktop.FileManager1), "plasma" (org.kde.plasmashell) or
"portal" (org.freedesktop.portal.Desktop with OpenURI). Every call is appended to LOG as one JSON
line; "ready" is printed once the names are owned."""
import json
import os
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

log = open(sys.argv[1], "a", buffering=1)


def record(**call):
    log.write(json.dumps(call) + "\n")


class FileManager(dbus.service.Object):
    @dbus.service.method("org.freedesktop.FileManager1", in_signature="ass", out_signature="")
    def ShowItems(self, uris, startup_id):
        record(call="ShowItems", uris=[str(u) for u in uris], startup=str(startup_id))

    @dbus.service.method("org.freedesktop.FileManager1", in_signature="ass", out_signature="")
    def ShowFolders(self, uris, startup_id):
        record(call="ShowFolders", uris=[str(u) for u in uris])


class PlasmaShell(dbus.service.Object):
    @dbus.service.method("org.kde.PlasmaShell", in_signature="s", out_signature="s")
    def evaluateScript(self, script):
        record(call="evaluateScript", script=str(script))
        return ""


class Portal(dbus.service.Object):
    @dbus.service.method("org.freedesktop.portal.OpenURI", in_signature="sha{sv}",
                         out_signature="o")
    def OpenFile(self, parent, fd, options):
        descriptor = fd.take()
        opened = os.readlink("/proc/self/fd/%d" % descriptor)
        os.close(descriptor)
        record(call="OpenFile", parent=str(parent), file=opened,
               ask=bool(options.get("ask", False)))
        return dbus.ObjectPath("/org/freedesktop/portal/desktop/request/1_1/vistrel")


def main():
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    kept = []
    for service in sys.argv[2].split(","):
        if service == "filemanager":
            kept.append(dbus.service.BusName("org.freedesktop.FileManager1", bus))
            kept.append(FileManager(bus, "/org/freedesktop/FileManager1"))
        elif service == "portal":
            kept.append(dbus.service.BusName("org.freedesktop.portal.Desktop", bus))
            kept.append(Portal(bus, "/org/freedesktop/portal/desktop"))
        elif service == "plasma":
            kept.append(dbus.service.BusName("org.kde.plasmashell", bus))
            kept.append(PlasmaShell(bus, "/PlasmaShell"))
    print("ready", flush=True)
    GLib.MainLoop().run()


if __name__ == "__main__":
    main()
