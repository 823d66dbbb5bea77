'''BlueZ as the Bluetooth LE tablet tests need it (a python-dbusmock template)

One adapter, hci0. Tests add paired LE devices with a vendor GATT service and its
characteristics (AddTablet), read what was written to them (Writes, or the Written
signal), make a characteristic notify (Notify) and drop or restore a connection
(SetConnected). Storage requests (0x04 0x67 access, 0x04 0x20 chunk reads) are
answered by the device itself from SetStorage's bytes, on its first notifying
characteristic other than the 0x0003 one.

Object paths follow BlueZ: /org/bluez/hci0/dev_AA_BB_CC_DD_EE_FF/serviceXXXX/charXXXX,
with the hex numbers in attribute handle order.
'''

import dbus

from dbusmock import OBJECT_MANAGER_IFACE, mockobject

BUS_NAME = 'org.bluez'
MAIN_OBJ = '/'
MAIN_IFACE = 'org.bluez.Mock'
SYSTEM_BUS = True
IS_OBJECT_MANAGER = True

MOCK_IFACE = 'org.bluez.Mock'
ADAPTER_IFACE = 'org.bluez.Adapter1'
DEVICE_IFACE = 'org.bluez.Device1'
SERVICE_IFACE = 'org.bluez.GattService1'
CHRC_IFACE = 'org.bluez.GattCharacteristic1'
ADAPTER_PATH = '/org/bluez/hci0'


def load(mock, _parameters):
    props = {
        'Address': dbus.String('00:1A:7D:DA:71:13', variant_level=1),
        'AddressType': dbus.String('public', variant_level=1),
        'Name': dbus.String('mock', variant_level=1),
        'Alias': dbus.String('mock', variant_level=1),
        'Powered': dbus.Boolean(True, variant_level=1),
        'Discoverable': dbus.Boolean(False, variant_level=1),
        'Pairable': dbus.Boolean(True, variant_level=1),
        'Discovering': dbus.Boolean(False, variant_level=1),
        'UUIDs': dbus.Array([], signature='s', variant_level=1),
    }
    mock.AddObject(ADAPTER_PATH, ADAPTER_IFACE, props, [])
    mock.EmitSignal(OBJECT_MANAGER_IFACE, 'InterfacesAdded', 'oa{sa{sv}}',
                    [dbus.ObjectPath(ADAPTER_PATH), {ADAPTER_IFACE: props}])
    mock.next_handle = 0x10


def _emit_props(obj, iface, changed):
    obj.EmitSignal(dbus.PROPERTIES_IFACE, 'PropertiesChanged', 'sa{sv}as',
                   [iface, dbus.Dictionary(changed, signature='sv'), dbus.Array([], signature='s')])


def _device_of(path):
    parts = str(path).split('/')
    return mockobject.objects.get('/'.join(parts[:5]))


def _chars_of(device):
    prefix = str(device.path) + '/'
    return sorted((p for p, o in mockobject.objects.items()
                   if p.startswith(prefix) and CHRC_IFACE in o.props), key=str)


def _notify(chrc, value):
    if not chrc.props[CHRC_IFACE]['Notifying']:
        return False
    value = dbus.Array([dbus.Byte(b) for b in value], signature='y')
    chrc.props[CHRC_IFACE]['Value'] = value
    _emit_props(chrc, CHRC_IFACE, {'Value': dbus.Array(value, signature='y', variant_level=1)})
    return True


def _reply_channel(device):
    '''The characteristic the device answers storage requests on.'''
    for path in _chars_of(device):
        props = mockobject.objects[path].props[CHRC_IFACE]
        if 'notify' in props['Flags'] and not str(props['UUID']).startswith('00000003'):
            return mockobject.objects[path]
    return None


def _answer_storage(device, value):
    reply = None
    if len(value) >= 8 and value[0] == 0x04 and value[1] == 0x67:
        ok = bytes(value[2:6]) == device.access_code
        reply = [0x04, 0x67, 0x01 if ok else 0x00]
    elif len(value) >= 8 and value[0] == 0x04 and value[1] == 0x20:
        offset, count = value[2], value[7]
        reply = list(value[:8]) + list(device.storage[offset:offset + count])
    if reply is not None and device.answers_storage:
        chrc = _reply_channel(device)
        if chrc is not None:
            _notify(chrc, reply)


@dbus.service.method(MOCK_IFACE, in_signature='sssasas', out_signature='o')
def AddTablet(self, address, name, service_uuid, uuids, flags):
    '''A paired, connected LE device with one GATT service; its characteristics have
    the UUIDs in handle order and the comma-separated flags beside them. Returns the
    device path.'''
    path = ADAPTER_PATH + '/dev_' + address.replace(':', '_').upper()
    # A tablet of an earlier run at this address (the program started again on the same
    # bus) is taken away first, as if it had been unpaired.
    for old in sorted([p for p in mockobject.objects if p == path or p.startswith(path + '/')], reverse=True):
        interfaces = list(mockobject.objects[old].props.keys())
        self.RemoveObject(old)
        self.EmitSignal(OBJECT_MANAGER_IFACE, 'InterfacesRemoved', 'oas', [dbus.ObjectPath(old), interfaces])
    props = {
        'Address': dbus.String(address, variant_level=1),
        'AddressType': dbus.String('random', variant_level=1),
        'Name': dbus.String(name, variant_level=1),
        'Alias': dbus.String(name, variant_level=1),
        'Appearance': dbus.UInt16(0x03C5, variant_level=1),
        'Paired': dbus.Boolean(True, variant_level=1),
        'Bonded': dbus.Boolean(True, variant_level=1),
        'Trusted': dbus.Boolean(True, variant_level=1),
        'Connected': dbus.Boolean(True, variant_level=1),
        'ServicesResolved': dbus.Boolean(True, variant_level=1),
        'Adapter': dbus.ObjectPath(ADAPTER_PATH, variant_level=1),
        'UUIDs': dbus.Array([service_uuid], signature='s', variant_level=1),
    }
    self.AddObject(path, DEVICE_IFACE, props, [])
    device = mockobject.objects[path]
    device.storage = bytes(256)
    device.access_code = bytes(4)
    device.answers_storage = True
    device.write_fails = False
    self.EmitSignal(OBJECT_MANAGER_IFACE, 'InterfacesAdded', 'oa{sa{sv}}',
                    [dbus.ObjectPath(path), {DEVICE_IFACE: props}])

    root = mockobject.objects['/']
    service_path = '%s/service%04x' % (path, root.next_handle)
    root.next_handle += 1
    sprops = {
        'UUID': dbus.String(service_uuid, variant_level=1),
        'Device': dbus.ObjectPath(path, variant_level=1),
        'Primary': dbus.Boolean(True, variant_level=1),
    }
    self.AddObject(service_path, SERVICE_IFACE, sprops, [])
    self.EmitSignal(OBJECT_MANAGER_IFACE, 'InterfacesAdded', 'oa{sa{sv}}',
                    [dbus.ObjectPath(service_path), {SERVICE_IFACE: sprops}])
    for uuid, flag_text in zip(uuids, flags):
        flag_list = [f for f in str(flag_text).split(',') if f]
        char_path = '%s/char%04x' % (service_path, root.next_handle)
        root.next_handle += 2
        cprops = {
            'UUID': dbus.String(uuid, variant_level=1),
            'Service': dbus.ObjectPath(service_path, variant_level=1),
            'Flags': dbus.Array(flag_list, signature='s', variant_level=1),
            'Value': dbus.Array([], signature='y', variant_level=1),
            'Notifying': dbus.Boolean(False, variant_level=1),
        }
        self.AddObject(char_path, CHRC_IFACE, cprops, [])
        mockobject.objects[char_path].writes = []
        self.EmitSignal(OBJECT_MANAGER_IFACE, 'InterfacesAdded', 'oa{sa{sv}}',
                        [dbus.ObjectPath(char_path), {CHRC_IFACE: cprops}])
    return dbus.ObjectPath(path)


@dbus.service.method(MOCK_IFACE, in_signature='ob', out_signature='')
def SetConnected(self, device_path, connected):
    '''A tablet switched off (False) or back on (True).'''
    device = mockobject.objects[device_path]
    device.props[DEVICE_IFACE]['Connected'] = dbus.Boolean(connected, variant_level=1)
    device.props[DEVICE_IFACE]['ServicesResolved'] = dbus.Boolean(connected, variant_level=1)
    if not connected:
        for path in _chars_of(device):
            mockobject.objects[path].props[CHRC_IFACE]['Notifying'] = dbus.Boolean(False, variant_level=1)
    _emit_props(device, DEVICE_IFACE, {
        'Connected': dbus.Boolean(connected, variant_level=1),
        'ServicesResolved': dbus.Boolean(connected, variant_level=1),
    })


@dbus.service.method(MOCK_IFACE, in_signature='oay', out_signature='b')
def Notify(self, char_path, value):
    '''The characteristic notifies value; False when nobody subscribed.'''
    return _notify(mockobject.objects[char_path], value)


@dbus.service.method(MOCK_IFACE, in_signature='o', out_signature='aay')
def Writes(self, char_path):
    return dbus.Array([dbus.Array(w, signature='y') for w in mockobject.objects[char_path].writes],
                      signature='ay')


@dbus.service.method(MOCK_IFACE, in_signature='oayayb', out_signature='')
def SetStorage(self, device_path, content, access_code, answers):
    device = mockobject.objects[device_path]
    device.storage = bytes(content) + bytes(max(0, 256 - len(content)))
    device.access_code = bytes(access_code)
    device.answers_storage = bool(answers)


@dbus.service.method(MOCK_IFACE, in_signature='ob', out_signature='')
def SetWriteFails(self, device_path, fails):
    mockobject.objects[device_path].write_fails = bool(fails)


@dbus.service.method(CHRC_IFACE, in_signature='', out_signature='')
def StartNotify(self):
    props = self.props[CHRC_IFACE]
    if 'notify' not in props['Flags'] and 'indicate' not in props['Flags']:
        raise dbus.exceptions.DBusException('Operation is not supported', name='org.bluez.Error.NotSupported')
    device = _device_of(self.path)
    if not device.props[DEVICE_IFACE]['Connected']:
        raise dbus.exceptions.DBusException('Not connected', name='org.bluez.Error.NotConnected')
    props['Notifying'] = dbus.Boolean(True, variant_level=1)
    _emit_props(self, CHRC_IFACE, {'Notifying': dbus.Boolean(True, variant_level=1)})


@dbus.service.method(CHRC_IFACE, in_signature='', out_signature='')
def StopNotify(self):
    self.props[CHRC_IFACE]['Notifying'] = dbus.Boolean(False, variant_level=1)


@dbus.service.method(CHRC_IFACE, in_signature='a{sv}', out_signature='ay')
def ReadValue(self, _options):
    return self.props[CHRC_IFACE]['Value']


@dbus.service.method(CHRC_IFACE, in_signature='aya{sv}', out_signature='')
def WriteValue(self, value, _options):
    props = self.props[CHRC_IFACE]
    device = _device_of(self.path)
    if not device.props[DEVICE_IFACE]['Connected']:
        raise dbus.exceptions.DBusException('Not connected', name='org.bluez.Error.NotConnected')
    if 'write' not in props['Flags'] or device.write_fails:
        raise dbus.exceptions.DBusException('Write failed', name='org.bluez.Error.Failed')
    data = [int(b) for b in value]
    self.writes.append(data)
    mockobject.objects['/'].EmitSignal(MOCK_IFACE, 'Written', 'oay',
                                       [dbus.ObjectPath(self.path), dbus.Array(data, signature='y')])
    _answer_storage(device, data)
