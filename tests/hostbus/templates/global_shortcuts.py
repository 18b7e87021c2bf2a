'''The desktop portal's global shortcuts, its methods in place before its name is taken.

Parameters: "version", the interface's version property (0: the portal has no global
shortcuts, only another interface); "response", the response code of every request (0,
success). CreateSession answers with the session /org/freedesktop/portal/desktop/session/
SENDER/TOKEN; BindShortcuts answers with the shortcuts given, each with its preferred trigger
as the trigger shown. Activate(session, id) on the mock interface emits Activated. dbusmock
records every call (GetMethodCalls).
'''

import dbus
import dbus.lowlevel

BUS_NAME = 'org.freedesktop.portal.Desktop'
MAIN_OBJ = '/org/freedesktop/portal/desktop'
MAIN_IFACE = 'org.freedesktop.portal.GlobalShortcuts'
SYSTEM_BUS = False
MOCK_IFACE = 'org.freedesktop.DBus.Mock'

RESPONSE = [0]


def signal(mock, path, interface, member, signature, *args):
    message = dbus.lowlevel.SignalMessage(path, interface, member)
    message.append(*args, signature=signature)
    mock.connection.send_message(message)


def respond(mock, sender, options, results):
    '''Answers a request: its object path, and the Response signal sent from it.'''
    path = '/org/freedesktop/portal/desktop/request/%s/%s' % (sender[1:].replace('.', '_'), options['handle_token'])
    signal(mock, path, 'org.freedesktop.portal.Request', 'Response', 'ua{sv}', dbus.UInt32(RESPONSE[0]),
           dbus.Dictionary(results if RESPONSE[0] == 0 else {}, signature='sv'))
    return dbus.ObjectPath(path)


@dbus.service.method(MAIN_IFACE, in_signature='a{sv}', out_signature='o', sender_keyword='sender')
def CreateSession(self, options, sender=None):
    session = '/org/freedesktop/portal/desktop/session/%s/%s' % (sender[1:].replace('.', '_'),
                                                                  options['session_handle_token'])
    return respond(self, sender, options, {'session_handle': dbus.String(session, variant_level=1)})


@dbus.service.method(MAIN_IFACE, in_signature='oa(sa{sv})sa{sv}', out_signature='o', sender_keyword='sender')
def BindShortcuts(self, session, shortcuts, parent, options, sender=None):
    bound = [(name, dict(properties, trigger_description=properties.get('preferred_trigger', ''))) for name, properties in shortcuts]
    return respond(self, sender, options, {'shortcuts': dbus.Array(bound, signature='(sa{sv})', variant_level=1)})


@dbus.service.method(MOCK_IFACE, in_signature='os', out_signature='')
def Activate(self, session, shortcut):
    signal(self, MAIN_OBJ, MAIN_IFACE, 'Activated', 'osta{sv}', session, shortcut, dbus.UInt64(0),
           dbus.Dictionary({}, signature='sv'))


def load(mock, parameters):
    RESPONSE[0] = parameters.get('response', 0)
    version = parameters.get('version', 1)
    if version:
        mock.AddProperty(MAIN_IFACE, 'version', dbus.UInt32(version))
    else:
        mock.AddProperty('org.freedesktop.portal.Settings', 'version', dbus.UInt32(1))
