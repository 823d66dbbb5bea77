'''KWin's scripting interface as the foreground tests need it (a python-dbusmock template)

loadScript(path, name) keeps the script's text and answers with an id; the script's
object /Scripting/ScriptN takes run() and stop(); unloadScript(name) drops it. Report
plays the running script's callDBus: it sends the given arguments, from KWin's own
connection, to the address the loaded script calls.
'''

import re

import dbus
import dbus.lowlevel

BUS_NAME = 'org.kde.KWin'
MAIN_OBJ = '/Scripting'
MAIN_IFACE = 'org.kde.kwin.Scripting'
SYSTEM_BUS = False

SCRIPT_IFACE = 'org.kde.kwin.Script'
MOCK_IFACE = 'org.kde.KWin.Mock'


def load(mock, _parameters):
    mock.scripts = {}  # plugin name -> (id, text)
    mock.next_id = 0


@dbus.service.method(MAIN_IFACE, in_signature='ss', out_signature='i')
def loadScript(self, path, name):
    if name in self.scripts:
        return -1
    with open(path, encoding='utf-8') as f:
        text = f.read()
    script_id = self.next_id
    self.next_id += 1
    self.scripts[name] = (script_id, text)
    self.AddObject(f'/Scripting/Script{script_id}', SCRIPT_IFACE, {},
                   [('run', '', '', ''), ('stop', '', '', '')])
    return script_id


@dbus.service.method(MAIN_IFACE, in_signature='s', out_signature='b')
def unloadScript(self, name):
    if name not in self.scripts:
        return False
    script_id, _ = self.scripts.pop(name)
    self.RemoveObject(f'/Scripting/Script{script_id}')
    return True


@dbus.service.method(MOCK_IFACE, in_signature='ssav', out_signature='')
def Report(self, name, signature, args):
    _, text = self.scripts[name]
    target = re.search(r'var service = "([^"]*)";.*?callDBus\(service, "([^"]*)", "([^"]*)", "([^"]*)"',
                       text, re.S)
    message = dbus.lowlevel.MethodCallMessage(target.group(1), target.group(2), target.group(3), target.group(4))
    message.append(*args, signature=signature)
    message.set_no_reply(True)
    self.connection.send_message(message)


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='as')
def Loaded(self):
    return list(self.scripts)


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='')
def Restart(self):
    '''A compositor restart: the scripts end and the name leaves the bus and comes back.'''
    for script_id, _ in self.scripts.values():
        self.RemoveObject(f'/Scripting/Script{script_id}')
    self.scripts.clear()
    self.connection.release_name(BUS_NAME)
    self.connection.request_name(BUS_NAME)
