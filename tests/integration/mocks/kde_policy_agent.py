'''KDE's power management policy agent for the activity probe tests: ListInhibitions() returns
the "inhibitions" parameter, a list of [application, reason].
'''

BUS_NAME = 'org.kde.Solid.PowerManagement'
MAIN_OBJ = '/org/kde/Solid/PowerManagement/PolicyAgent'
MAIN_IFACE = 'org.kde.Solid.PowerManagement.PolicyAgent'
SYSTEM_BUS = False


def load(mock, parameters):
    items = [(str(a), str(r)) for a, r in parameters.get('inhibitions', [])]
    mock.AddMethod(MAIN_IFACE, 'ListInhibitions', '', 'a(ss)', f'ret = dbus.Array({items!r}, signature="(ss)")')
