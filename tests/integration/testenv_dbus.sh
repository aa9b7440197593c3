# testenv: --dbus --system-bus
# Both private buses answer, and they are different buses.
set -eu
session=$(dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.GetId)
system=$(dbus-send --system --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.GetId)
[ "$session" != "$system" ] || { echo "session and system bus are the same bus"; exit 1; }
echo "D-Bus: session $DBUS_SESSION_BUS_ADDRESS, system $DBUS_SYSTEM_BUS_ADDRESS"
