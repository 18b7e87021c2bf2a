'''The compositor's idle monitor, its methods in place before its name is answered.

Parameters: "idletime", a Python expression for GetIdletime's answer, and "signature",
its signature ("t" unless given); "watch" and "watchsignature" the same for AddIdleWatch's
answer (the id 7, "u"). Every user-active watch has the id 8.
'''

import dbus  # noqa: F401  (used by the answer expressions)

BUS_NAME = 'org.gnome.Mutter.IdleMonitor'
MAIN_OBJ = '/org/gnome/Mutter/IdleMonitor/Core'
MAIN_IFACE = 'org.gnome.Mutter.IdleMonitor'
SYSTEM_BUS = False


def load(mock, parameters):
    mock.AddMethods(MAIN_IFACE, [
        ('GetIdletime', '', parameters.get('signature', 't'), 'ret = ' + parameters.get('idletime', 'dbus.UInt64(0)')),
        ('AddIdleWatch', 't', parameters.get('watchsignature', 'u'),
         'ret = ' + parameters.get('watch', 'dbus.UInt32(7)')),
        ('AddUserActiveWatch', '', 'u', 'ret = dbus.UInt32(8)'),
        ('RemoveWatch', 'u', '', ''),
    ])
