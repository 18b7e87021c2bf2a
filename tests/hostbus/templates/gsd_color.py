'''GNOME's colour service, with its Night Light state ("active" parameter, false unless
given) in place before its name is answered; Properties.Set changes it and says so.'''

import dbus

BUS_NAME = 'org.gnome.SettingsDaemon.Color'
MAIN_OBJ = '/org/gnome/SettingsDaemon/Color'
MAIN_IFACE = 'org.gnome.SettingsDaemon.Color'
SYSTEM_BUS = False


def load(mock, parameters):
    mock.AddProperties(MAIN_IFACE, dbus.Dictionary({
        'NightLightActive': dbus.Boolean(parameters.get('active', False)),
        'Temperature': dbus.UInt32(4000),
    }, signature='sv'))
