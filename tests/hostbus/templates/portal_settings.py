'''The desktop portal's settings, its method in place before its name is answered.

Parameters: "method" (ReadOne or Read) and "answer", a Python expression for its answer.
'''

import dbus  # noqa: F401  (used by the answer expressions)

BUS_NAME = 'org.freedesktop.portal.Desktop'
MAIN_OBJ = '/org/freedesktop/portal/desktop'
MAIN_IFACE = 'org.freedesktop.portal.Settings'
SYSTEM_BUS = False


def load(mock, parameters):
    mock.AddMethod(MAIN_IFACE, parameters.get('method', 'ReadOne'), 'ss', 'v',
                   'ret = ' + parameters.get('answer', 'dbus.UInt32(0)'))
