'''GNOME's display configuration (org.gnome.Mutter.DisplayConfig) as the tests need it.

Its object and methods are exported before it asks for its name, so a client that calls
the moment the name appears is answered. Three CRTCs, their API ids being their places in
the list as in the compositor: a monitor of 256 ramp entries on DP-1, a built-in panel of
1024 on eDP-1, and one that drives nothing; every ramp starts off the identity. Every
method checks the serial as the compositor does (AccessDenied when it is stale).

The test drives it through org.quellvista.Test.DisplayConfig on the same object:
  SetFault(method, fault): "" answers well; "types" answers with wrong types; "sizes"
      (GetCrtcGamma) channels of different sizes; "empty" (GetCrtcGamma) empty channels;
      "vanished" (GetCrtcGamma, SetCrtcGamma) says the CRTC does not exist; "stale"
      (SetCrtcGamma) moves the serial on before every write; "silent" never answers;
      "refuse" (GetResources, GetCurrentState) answers with an error;
      "reverse" (SetCrtcGamma) sets each ramp at once but holds its answer until the
      next write comes, then answers the later one first.
  BumpSerial(signal): a new serial, with MonitorsChanged when signal is true.
  PlugMonitor(): HDMI-1 lit on the third CRTC; a new serial and MonitorsChanged.
  SwapCrtcs(): the first two CRTCs trade places (and so their ids); a new serial and
      MonitorsChanged only when asked for afterwards (BumpSerial(true)).
  RemoveCrtcs(): no CRTCs at all, as in a remote or virtual session (mutter --headless
      --virtual-monitor); a new serial and MonitorsChanged.
  Writes(): every SetCrtcGamma that changed a ramp: serial, CRTC id, connector, ramps.
  Ramp(connector): the ramp the CRTC driving the connector holds.
  StallAfter(method): once its next answer to method (GetResources or GetCurrentState) is
      sent, it stops itself (SIGSTOP) as a stalled compositor does, until it gets SIGCONT.
'''

import os
import signal
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

NAME = 'org.gnome.Mutter.DisplayConfig'
PATH = '/org/gnome/Mutter/DisplayConfig'
IFACE = 'org.gnome.Mutter.DisplayConfig'
TEST_IFACE = 'org.quellvista.Test.DisplayConfig'


def ramp(size, scale, power):
    return [min(65535, int(65535 * scale * (i / (size - 1)) ** power)) for i in range(size)]


class Crtc:
    def __init__(self, winsys, size, geometry, connector):
        self.winsys = winsys
        self.size = size
        self.geometry = geometry  # x, y, width, height
        self.connector = connector  # None: drives nothing
        self.red = ramp(size, 0.95, 1.1)
        self.green = ramp(size, 0.9, 1.0)
        self.blue = ramp(size, 0.8, 0.9)


MONITORS = {
    'DP-1': ('DEL', 'DELL P2419H', 'CFV9N93', False),
    'eDP-1': ('BOE', '0x0a81', '0x00000000', True),
    'HDMI-1': ('GSM', 'LG HDR 4K', '0x0001a2b3', False),
}
MODES = {'DP-1': (1920, 1080, 60.0), 'eDP-1': (2560, 1600, 120.0), 'HDMI-1': (3840, 2160, 30.0)}


class DisplayConfig(dbus.service.Object):
    def __init__(self, bus):
        dbus.service.Object.__init__(self, bus, PATH)
        self.serial = 1
        self.crtcs = [Crtc(40, 256, (0, 0, 1920, 1080), 'DP-1'),
                      Crtc(41, 1024, (1920, 0, 2560, 1600), 'eDP-1'),
                      Crtc(42, 256, (0, 0, 0, 0), None)]
        self.faults = {}
        self.writes = []
        self.held = []  # answers held back
        self.stall_after = None

    def _answer(self, method, reply, error, answer):
        fault = self.faults.get(method, '')
        if fault == 'silent':
            return
        if fault == 'refuse':
            error(dbus.exceptions.DBusException('Busy', name='org.freedesktop.DBus.Error.Failed'))
            return
        reply(*answer(fault))
        if self.stall_after == method:
            self.stall_after = None
            self.connection.flush()
            os.kill(os.getpid(), signal.SIGSTOP)

    def _crtc(self, serial, index, method, error):
        if serial != self.serial:
            error(dbus.exceptions.DBusException('The requested configuration is based on stale information',
                                                name='org.freedesktop.DBus.Error.AccessDenied'))
            return None
        if index >= len(self.crtcs) or self.faults.get(method) == 'vanished':
            error(dbus.exceptions.DBusException('Invalid crtc id', name='org.freedesktop.DBus.Error.InvalidArgs'))
            return None
        return self.crtcs[index]

    def _lit(self):
        return [(i, c) for i, c in enumerate(self.crtcs) if c.connector]

    @dbus.service.method(IFACE, in_signature='', out_signature=None, async_callbacks=('reply', 'error'))
    def GetResources(self, reply, error):
        def answer(fault):
            if fault == 'types':
                return (dbus.String('serial'), dbus.Array([], signature='s'))
            lit = dict(self._lit())
            crtcs = dbus.Array([dbus.Struct((dbus.UInt32(i), dbus.Int64(c.winsys), *map(dbus.Int32, c.geometry),
                                             dbus.Int32(list(MONITORS).index(c.connector) if c.connector else -1), dbus.UInt32(0),
                                             dbus.Array([dbus.UInt32(0)], signature='u'),
                                             dbus.Dictionary({}, signature='sv')))
                                for i, c in enumerate(self.crtcs)], signature='(uxiiiiiuaua{sv})')
            outputs = dbus.Array([], signature='(uxiausauaua{sv})')
            modes = dbus.Array([], signature='(uxuudu)')
            for number, (connector, (vendor, product, serial, builtin)) in enumerate(MONITORS.items()):
                crtc = next((i for i, c in lit.items() if c.connector == connector), -1)
                if crtc < 0 and connector == 'HDMI-1':
                    continue  # not plugged
                width, height, rate = MODES[connector]
                modes.append(dbus.Struct((dbus.UInt32(number), dbus.Int64(number + 60), dbus.UInt32(width),
                                          dbus.UInt32(height), dbus.Double(rate), dbus.UInt32(0))))
                outputs.append(dbus.Struct((dbus.UInt32(number), dbus.Int64(number + 70), dbus.Int32(crtc),
                                            dbus.Array([dbus.UInt32(i) for i in range(len(self.crtcs))], signature='u'),
                                            dbus.String(connector), dbus.Array([dbus.UInt32(number)], signature='u'),
                                            dbus.Array([], signature='u'),
                                            dbus.Dictionary({'vendor': dbus.String(vendor), 'product': dbus.String(product),
                                                             'serial': dbus.String(serial),
                                                             'primary': dbus.Boolean(connector == 'eDP-1')},
                                                            signature='sv'))))
            return (dbus.UInt32(self.serial), crtcs, outputs, modes, dbus.Int32(8192), dbus.Int32(8192))
        self._answer('GetResources', reply, error, answer)

    @dbus.service.method(IFACE, in_signature='', out_signature=None, async_callbacks=('reply', 'error'))
    def GetCurrentState(self, reply, error):
        def answer(fault):
            if fault == 'types':
                return (dbus.UInt32(self.serial), dbus.String('monitors'))
            monitors = dbus.Array([], signature='((ssss)a(siiddada{sv})a{sv})')
            logical = dbus.Array([], signature='(iiduba(ssss)a{sv})')
            for _, crtc in self._lit():
                vendor, product, serial, builtin = MONITORS[crtc.connector]
                spec = dbus.Struct((crtc.connector, vendor, product, serial), signature='ssss')
                width, height, rate = MODES[crtc.connector]
                mode = dbus.Struct(('%dx%d@%g' % (width, height, rate), dbus.Int32(width), dbus.Int32(height),
                                    dbus.Double(rate), dbus.Double(1.0), dbus.Array([dbus.Double(1.0)], signature='d'),
                                    dbus.Dictionary({'is-current': dbus.Boolean(True)}, signature='sv')))
                properties = {'is-builtin': dbus.Boolean(True)} if builtin else {}
                monitors.append(dbus.Struct((spec, dbus.Array([mode], signature='(siiddada{sv})'),
                                             dbus.Dictionary(properties, signature='sv'))))
                logical.append(dbus.Struct((dbus.Int32(crtc.geometry[0]), dbus.Int32(crtc.geometry[1]), dbus.Double(1.0),
                                            dbus.UInt32(0), dbus.Boolean(crtc.connector == 'eDP-1'),
                                            dbus.Array([spec], signature='(ssss)'), dbus.Dictionary({}, signature='sv'))))
            return (dbus.UInt32(self.serial), monitors, logical, dbus.Dictionary({}, signature='sv'))
        self._answer('GetCurrentState', reply, error, answer)

    @dbus.service.method(IFACE, in_signature='uu', out_signature=None, async_callbacks=('reply', 'error'))
    def GetCrtcGamma(self, serial, index, reply, error):
        fault = self.faults.get('GetCrtcGamma', '')
        if fault == 'silent':
            return
        crtc = self._crtc(serial, index, 'GetCrtcGamma', error)
        if crtc is None:
            return
        channels = [crtc.red, crtc.green, crtc.blue]
        if fault == 'types':
            reply(dbus.Array(crtc.red, signature='i'), dbus.String('green'), dbus.Array(crtc.blue, signature='i'))
            return
        if fault == 'sizes':
            channels[1] = channels[1][:-1]
        if fault == 'empty':
            channels = [[], [], []]
        reply(*(dbus.Array(channel, signature='q') for channel in channels))

    @dbus.service.method(IFACE, in_signature='uuaqaqaq', out_signature='', async_callbacks=('reply', 'error'))
    def SetCrtcGamma(self, serial, index, red, green, blue, reply, error):
        if self.faults.get('SetCrtcGamma') == 'silent':
            return
        if self.faults.get('SetCrtcGamma') == 'stale':
            self.serial += 1
        crtc = self._crtc(serial, index, 'SetCrtcGamma', error)
        if crtc is None:
            return
        if not (len(red) == len(green) == len(blue) == crtc.size):
            error(dbus.exceptions.DBusException('Invalid gamma size', name='org.freedesktop.DBus.Error.InvalidArgs'))
            return
        crtc.red, crtc.green, crtc.blue = [int(v) for v in red], [int(v) for v in green], [int(v) for v in blue]
        self.writes.append((serial, index, crtc.connector or '', crtc.red, crtc.green, crtc.blue))
        if self.faults.get('SetCrtcGamma') == 'reverse':
            if not self.held:
                self.held.append(reply)
                return
            reply()
            self.held.pop()()
            return
        reply()

    @dbus.service.signal(IFACE, signature='')
    def MonitorsChanged(self):
        pass

    @dbus.service.method(TEST_IFACE, in_signature='ss', out_signature='')
    def SetFault(self, method, fault):
        self.faults[method] = fault

    @dbus.service.method(TEST_IFACE, in_signature='s', out_signature='')
    def StallAfter(self, method):
        self.stall_after = method

    @dbus.service.method(TEST_IFACE, in_signature='b', out_signature='')
    def BumpSerial(self, signal):
        self.serial += 1
        if signal:
            self.MonitorsChanged()

    @dbus.service.method(TEST_IFACE, in_signature='', out_signature='')
    def PlugMonitor(self):
        self.crtcs[2].connector = 'HDMI-1'
        self.crtcs[2].geometry = (4480, 0, 3840, 2160)
        self.BumpSerial(True)

    @dbus.service.method(TEST_IFACE, in_signature='', out_signature='')
    def SwapCrtcs(self):
        self.crtcs[0], self.crtcs[1] = self.crtcs[1], self.crtcs[0]
        self.serial += 1

    @dbus.service.method(TEST_IFACE, in_signature='', out_signature='')
    def RemoveCrtcs(self):
        self.crtcs = []
        self.BumpSerial(True)

    @dbus.service.method(TEST_IFACE, in_signature='', out_signature='a(uusaqaqaq)')
    def Writes(self):
        return dbus.Array([dbus.Struct((dbus.UInt32(s), dbus.UInt32(i), c, dbus.Array(r, signature='q'),
                                        dbus.Array(g, signature='q'), dbus.Array(b, signature='q')))
                           for s, i, c, r, g, b in self.writes], signature='(uusaqaqaq)')

    @dbus.service.method(TEST_IFACE, in_signature='s', out_signature='aqaqaq')
    def Ramp(self, connector):
        crtc = next(c for c in self.crtcs if c.connector == connector)
        return (dbus.Array(crtc.red, signature='q'), dbus.Array(crtc.green, signature='q'),
                dbus.Array(crtc.blue, signature='q'))


def main():
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    service = DisplayConfig(bus)  # noqa: F841  (exported before the name is taken)
    name = dbus.service.BusName(NAME, bus, do_not_queue=True)  # noqa: F841
    loop = GLib.MainLoop()
    bus.call_on_disconnection(lambda _: loop.quit())
    loop.run()
    return 0


if __name__ == '__main__':
    sys.exit(main())
