#!/usr/bin/env python3
'''Writes a compositor's gamma ramp to a file as qv_gammacheck keeps ramps (red, green,
blue, 16-bit entries in the machine's order), for qv_gammacheck -f FILE:
  ramp-file.py mutter CONNECTOR FILE   the ramp GNOME's display configuration stand-in
                                       (tests/hostbus/services/display_config.py) shows
                                       on CONNECTOR, asked on the session bus
  ramp-file.py line FILE               the test compositor's answer to "ramp NAME" on stdin
Answers 2 when there is no ramp to write.'''

import array
import sys


def write(path, red, green, blue):
    if not red or len(red) != len(green) or len(red) != len(blue):
        sys.exit(2)
    with open(path, 'wb') as out:
        out.write(array.array('H', list(red) + list(green) + list(blue)).tobytes())


def main():
    if sys.argv[1] == 'mutter':
        import dbus
        config = dbus.SessionBus().get_object('org.gnome.Mutter.DisplayConfig', '/org/gnome/Mutter/DisplayConfig')
        red, green, blue = config.Ramp(sys.argv[2], dbus_interface='org.quellvista.Test.DisplayConfig')
        write(sys.argv[3], red, green, blue)
    else:
        words = sys.stdin.readline().split()
        if len(words) < 4 or words[0] != 'ramp':
            sys.exit(2)
        size = int(words[1])
        values = [int(v) for v in words[4:]]
        write(sys.argv[2], values[:size], values[size:2 * size], values[2 * size:])


if __name__ == '__main__':
    main()
