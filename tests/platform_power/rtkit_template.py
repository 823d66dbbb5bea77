"""A real-time broker for tests: grants what it is asked, and says what it allows."""
import dbus

BUS_NAME = 'org.freedesktop.RealtimeKit1'
MAIN_OBJ = '/org/freedesktop/RealtimeKit1'
MAIN_IFACE = 'org.freedesktop.RealtimeKit1'
SYSTEM_BUS = True


def load(mock, parameters):
    mock.AddMethods(MAIN_IFACE, [('MakeThreadRealtime', 'tu', '', ''),
                                 ('MakeThreadHighPriority', 'ti', '', '')])
    mock.AddProperties(MAIN_IFACE, {'MaxRealtimePriority': dbus.Int32(3),
                                    'MinNiceLevel': dbus.Int32(-15),
                                    'RTTimeUSecMax': dbus.Int64(200000)})
