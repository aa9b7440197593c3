'''Another process that keeps the display awake: takes a logind inhibition and holds it until
its standard input closes. Prints "held" once the inhibition is taken.

    inhibit_peer.py WHAT WHO WHY MODE
'''

import os
import sys

import dbus

what, who, why, mode = sys.argv[1:5]
bus = dbus.SystemBus()
manager = bus.get_object('org.freedesktop.login1', '/org/freedesktop/login1')
fd = manager.Inhibit(what, who, why, mode, dbus_interface='org.freedesktop.login1.Manager')
print('held', flush=True)
sys.stdin.read()
os.close(fd.take())
