'''GNOME's session manager for the activity probe tests: GetInhibitors() lists one inhibitor
object per entry of the "inhibitors" parameter, a list of [app_id, reason, flags].
'''

BUS_NAME = 'org.gnome.SessionManager'
MAIN_OBJ = '/org/gnome/SessionManager'
MAIN_IFACE = 'org.gnome.SessionManager'
SYSTEM_BUS = False


def load(mock, parameters):
    paths = []
    for i, (app_id, reason, flags) in enumerate(parameters.get('inhibitors', [])):
        path = f'/org/gnome/SessionManager/Inhibitor{i + 1}'
        mock.AddObject(path, 'org.gnome.SessionManager.Inhibitor', {}, [
            ('GetAppId', '', 's', f'ret = {str(app_id)!r}'),
            ('GetReason', '', 's', f'ret = {str(reason)!r}'),
            ('GetFlags', '', 'u', f'ret = dbus.UInt32({int(flags)})'),
        ])
        paths.append(path)
    mock.AddMethod(MAIN_IFACE, 'GetInhibitors', '', 'ao', f'ret = dbus.Array({paths!r}, signature="o")')
