'''The compositor's idle monitor as Mutter keeps it, on the real clock.

Parameters: "idletime", the user's idle time in milliseconds as the monitor starts (0
unless given). GetIdletime answers the time since the last input; watch ids count up from
1. An idle watch fires (WatchFired, sent to the watch's owner alone) once the user has been
idle for its interval since the last input: at once, after the answer, for a user already
idle that long; again after each input. A user-active watch fires at the next input and
is gone. Input() on the mock interface is the user's input.
'''

import time

import dbus
import dbus.lowlevel
from gi.repository import GLib

BUS_NAME = 'org.gnome.Mutter.IdleMonitor'
MAIN_OBJ = '/org/gnome/Mutter/IdleMonitor/Core'
MAIN_IFACE = 'org.gnome.Mutter.IdleMonitor'
SYSTEM_BUS = False
MOCK_IFACE = 'org.freedesktop.DBus.Mock'

STATE = {'last_input': 0.0, 'next_id': 1, 'watches': {}}


def now_ms():
    return time.monotonic() * 1000.0


def fire(mock, watch_id):
    watch = STATE['watches'].get(watch_id)
    if watch is None:
        return False
    message = dbus.lowlevel.SignalMessage(MAIN_OBJ, MAIN_IFACE, 'WatchFired')
    message.set_destination(watch['owner'])
    message.append(dbus.UInt32(watch_id), signature='u')
    mock.connection.send_message(message)
    if watch['interval'] == 0:
        del STATE['watches'][watch_id]
    else:
        watch['timer'] = None
    return False


def arm(mock, watch_id):
    watch = STATE['watches'][watch_id]
    if watch.get('timer'):
        GLib.source_remove(watch['timer'])
    delay = max(0, int(STATE['last_input'] + watch['interval'] - now_ms()))
    watch['timer'] = GLib.timeout_add(delay, fire, mock, watch_id)


def add(owner, interval):
    watch_id = STATE['next_id']
    STATE['next_id'] += 1
    STATE['watches'][watch_id] = {'owner': owner, 'interval': interval, 'timer': None}
    return watch_id


@dbus.service.method(MAIN_IFACE, in_signature='', out_signature='t')
def GetIdletime(self):
    return dbus.UInt64(int(now_ms() - STATE['last_input']))


@dbus.service.method(MAIN_IFACE, in_signature='t', out_signature='u', sender_keyword='sender')
def AddIdleWatch(self, interval, sender=None):
    watch_id = add(sender, int(interval))
    arm(self, watch_id)
    return dbus.UInt32(watch_id)


@dbus.service.method(MAIN_IFACE, in_signature='', out_signature='u', sender_keyword='sender')
def AddUserActiveWatch(self, sender=None):
    return dbus.UInt32(add(sender, 0))


@dbus.service.method(MAIN_IFACE, in_signature='u', out_signature='')
def RemoveWatch(self, watch_id):
    watch = STATE['watches'].pop(int(watch_id), None)
    if watch and watch.get('timer'):
        GLib.source_remove(watch['timer'])


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='')
def Input(self):
    STATE['last_input'] = now_ms()
    for watch_id, watch in list(STATE['watches'].items()):
        if watch['interval'] == 0:
            fire(self, watch_id)
        else:
            arm(self, watch_id)


def load(mock, parameters):
    STATE['last_input'] = now_ms() - float(parameters.get('idletime', 0))
