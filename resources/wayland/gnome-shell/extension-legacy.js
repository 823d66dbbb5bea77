// GNOME Shell 43 and 44 (no ES modules): exports the focused window's process on the
// session bus for Inkora's per-application profiles. Name org.inkora.ShellForeground,
// object /org/inkora/Foreground, interface org.inkora.ShellForeground1: properties Pid
// and WindowClass, signal FocusChanged(pid, windowClass) at every change of focus.
// extension.js is the same for GNOME Shell 45 and later; keep the two alike.
const {Gio, GLib} = imports.gi;

const BUS_NAME = 'org.inkora.ShellForeground';
const OBJECT_PATH = '/org/inkora/Foreground';
const INTERFACE = `<node><interface name="org.inkora.ShellForeground1">
  <property name="Pid" type="i" access="read"/>
  <property name="WindowClass" type="s" access="read"/>
  <signal name="FocusChanged"><arg name="pid" type="i"/><arg name="windowClass" type="s"/></signal>
</interface></node>`;

class InkoraForegroundExtension {
    enable() {
        this.Pid = 0;
        this.WindowClass = '';
        this._object = Gio.DBusExportedObject.wrapJSObject(INTERFACE, this);
        this._object.export(Gio.DBus.session, OBJECT_PATH);
        this._focusId = global.display.connect('notify::focus-window', () => this._update());
        this._update();
        // Owned after the object is there, so Inkora's first read finds it.
        this._nameId = Gio.bus_own_name(Gio.BusType.SESSION, BUS_NAME, Gio.BusNameOwnerFlags.NONE,
                                        null, null, null);
    }

    disable() {
        Gio.bus_unown_name(this._nameId);
        global.display.disconnect(this._focusId);
        this._object.unexport();
        this._object = null;
    }

    _update() {
        const window = global.display.focus_window;
        // get_pid() is 0 or -1 where the window's process is not known.
        const pid = window ? window.get_pid() : 0;
        const windowClass = window ? (window.get_wm_class() || '') : '';
        if (pid === this.Pid && windowClass === this.WindowClass)
            return;
        this.Pid = pid;
        this.WindowClass = windowClass;
        this._object.emit_property_changed('Pid', new GLib.Variant('i', pid));
        this._object.emit_property_changed('WindowClass', new GLib.Variant('s', windowClass));
        this._object.emit_signal('FocusChanged', new GLib.Variant('(is)', [pid, windowClass]));
    }
}

function init() {
    return new InkoraForegroundExtension();
}
