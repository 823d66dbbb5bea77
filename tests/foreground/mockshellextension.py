'''The object our GNOME Shell extension exports, as the foreground tests need it
(a python-dbusmock template)

Pid starts as the mock's own process. Focus plays a change of focus (properties and
FocusChanged); Disable and Enable play the extension being switched off and on (the
name leaves the bus and comes back).
'''

import os

import dbus

BUS_NAME = 'org.inkora.ShellForeground'
MAIN_OBJ = '/org/inkora/Foreground'
MAIN_IFACE = 'org.inkora.ShellForeground1'
SYSTEM_BUS = False

MOCK_IFACE = 'org.inkora.ShellForeground.Mock'


def load(mock, _parameters):
    mock.AddProperties(MAIN_IFACE, {'Pid': dbus.Int32(os.getpid()), 'WindowClass': dbus.String('python3')})


@dbus.service.method(MOCK_IFACE, in_signature='is', out_signature='')
def Focus(self, pid, window_class):
    self.props[MAIN_IFACE]['Pid'] = dbus.Int32(pid)
    self.props[MAIN_IFACE]['WindowClass'] = dbus.String(window_class)
    self.EmitSignal(MAIN_IFACE, 'FocusChanged', 'is', [pid, window_class])


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='')
def Disable(self):
    self.connection.release_name(BUS_NAME)


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='')
def Enable(self):
    self.connection.request_name(BUS_NAME)
