'''A logind stand-in for the activity probe tests: Inhibit() records the caller's real pid
(as logind does), ListInhibitors() lists the inhibitors whose descriptor is still open.
'''

import os

import dbus
import dbus.service
from gi.repository import GLib

BUS_NAME = 'org.freedesktop.login1'
MAIN_OBJ = '/org/freedesktop/login1'
MAIN_IFACE = 'org.freedesktop.login1.Manager'
SYSTEM_BUS = True

inhibitors = []


def load(mock, parameters):
    pass


@dbus.service.method(MAIN_IFACE, in_signature='ssss', out_signature='h', sender_keyword='sender')
def Inhibit(self, what, who, why, mode, sender=None):
    bus = self.connection
    daemon = bus.get_object('org.freedesktop.DBus', '/org/freedesktop/DBus')
    pid = int(daemon.GetConnectionUnixProcessID(sender, dbus_interface='org.freedesktop.DBus'))
    uid = int(daemon.GetConnectionUnixUser(sender, dbus_interface='org.freedesktop.DBus'))
    entry = (what, who, why, mode, dbus.UInt32(uid), dbus.UInt32(pid))
    inhibitors.append(entry)
    fd_r, fd_w = os.pipe()

    def dropped(fd, cond):
        os.close(fd)
        if entry in inhibitors:
            inhibitors.remove(entry)
        return False

    GLib.unix_fd_add_full(GLib.PRIORITY_HIGH, fd_r, GLib.IO_HUP, dropped)
    # The reply carries a duplicate; our end closes once the reply is out.
    GLib.idle_add(os.close, fd_w)
    return fd_w


@dbus.service.method(MAIN_IFACE, in_signature='', out_signature='a(ssssuu)')
def ListInhibitors(self):
    return dbus.Array(inhibitors, signature='(ssssuu)')
