#!/usr/bin/env python3
"""Writes the default per-user files of this folder: config.xml (one profile per model
key of the supported-model tables), name_config.ini and language.ini.

The model keys and product ids are read from config/modeltables.cpp, so the profiles
cannot drift from the tables; a key without a row in MODELS below stops the script.

    resources/config/generate_profiles.py           rewrite the three files
    resources/config/generate_profiles.py --check   exit 1 when a file is out of date
"""

import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.normpath(os.path.join(HERE, "..", ".."))
TABLES = os.path.join(TOP, "config", "modeltables.cpp")

# Version of the default profile. Start-up compares it cut before its last "." (1.2):
# raise the second part only when the users' files must be replaced.
VERSION = "1.3.0"

# Model facts the profile carries, per model key:
#   keys   express keys (DeviceKeyNum)
#   rings  rings or wheels, 0..2 (DeviceRingNum)
#   pens   pens the model ships with (DevicePenNum; 0 for the keypads)
#   touch  touch pad or touch ring (DeviceTrackPad)
#   light  adjustable tablet light (DeviceControl)
#   groups express keys in four switchable groups (SupportGroupKeys)
#   pen    pen model index (DevicePenType): which pen buttons the settings show
# The simulated models (sim/simmodel.cpp) must agree on keys, rings, pens and light.
def m(keys=0, rings=0, pens=1, touch=0, light=0, groups=0, pen=0):
    return dict(keys=keys, rings=rings, pens=pens, touch=touch, light=light, groups=groups, pen=pen)

MODELS = {
    # pen tablets
    "InkoraPadS": m(),
    "InkoraPadSPlus": m(keys=4),
    "InkoraPadMini": m(),
    "InkoraPadDraw6": m(keys=4),
    "InkoraPadDraw8": m(keys=6),
    "InkoraPadDraw10": m(keys=8),
    "InkoraPadDraw12": m(keys=8, pen=1),
    "InkoraPadDraw13": m(keys=8, pen=1),
    "InkoraPadRingM": m(keys=8, rings=1),
    "InkoraPadRingL": m(keys=12, rings=1, pen=1),
    "InkoraPadRingS": m(keys=6, rings=1, touch=1),
    "InkoraPadRingDuo": m(keys=8, rings=2, pen=1),
    "InkoraPadTouch": m(keys=6, touch=1),
    "InkoraPadTouchL": m(keys=8, touch=1, pen=1),
    "InkoraPadPro6": m(keys=4, pen=2),
    "InkoraPadPro8": m(keys=6, pen=2),
    "InkoraPadPro10": m(keys=8, pen=2),
    "InkoraPadPro12": m(keys=8, rings=1, pen=2),
    "InkoraPadGroupM": m(keys=8, groups=1, pen=5),
    "InkoraPadGroupL": m(keys=10, rings=1, groups=1, pen=5),
    "InkoraPadGroupXL": m(keys=16, rings=2, groups=1, pen=5),
    "InkoraPadWireM": m(keys=8, pen=4),
    "InkoraPadWireL": m(keys=8, rings=1, pen=4),
    "InkoraPadGlowL": m(keys=12, rings=1, pens=2, touch=1, light=1, pen=1),
    "InkoraPadGlowW": m(keys=12, rings=2, pens=2, light=1, pen=1),
    "InkoraPadM": m(keys=8),
    "InkoraPadDuoPen": m(keys=8, pens=2, pen=1),
    "InkoraPadTrioPen": m(keys=8, pens=3, pen=1),
    "InkoraPadQuadPen": m(keys=8, rings=1, pens=4, pen=1),
    # shortcut keypads: no pen
    "InkoraKeysK12": m(keys=10, rings=1, pens=0, pen=3),  # twelve key bytes, the last two its dial
    "InkoraKeysK20": m(keys=20, pens=0, pen=3),
    "InkoraKeysDial": m(keys=10, rings=1, pens=0, pen=3),
    "InkoraKeysMini": m(keys=6, pens=0, pen=3),
    "InkoraKeysPro": m(keys=18, rings=2, pens=0, groups=1, pen=3),
    "InkoraKeysDuo": m(keys=16, rings=2, pens=0, light=1, pen=3),
    # pen displays
    "InkoraStudio12": m(keys=6, pen=1),
    "InkoraStudio13": m(keys=8, pen=1),
    "InkoraStudio13Pro": m(keys=8, rings=1, pen=1),
    "InkoraStudio15": m(keys=8, pen=1),
    "InkoraStudio156": m(keys=8, pen=1),
    "InkoraStudio16Lite": m(pen=6),
    "InkoraStudio22": m(keys=10, pen=1),
    "InkoraStudio22Pro": m(keys=20, rings=2, pen=2),
    "InkoraStudio24": m(pen=6),
    "InkoraStudio24Pro": m(keys=20, rings=2, groups=1, pen=2),
    "InkoraStudio27": m(pen=6),
    "InkoraStudio16": m(keys=8, rings=1, touch=1, pen=1),
    "InkoraStudio32": m(pen=6),
    "InkoraStudioMini": m(keys=4, pen=4),
    "InkoraStudioTouch13": m(keys=6, touch=1, pen=1),
    "InkoraStudioTouch16": m(keys=8, touch=1, pen=1),
    "InkoraStudioDual": m(keys=8, pens=2, pen=1),
    "InkoraStudioFold": m(pen=6),
    "InkoraStudioNote": m(keys=4, pen=6),
    "InkoraStudioSlim": m(keys=6, pen=1),
    # Bluetooth LE
    "InkoraPadAirS": m(keys=4),
    "InkoraPadAirM": m(keys=6),
    "InkoraPadAirL": m(keys=8, pen=1),
    "InkoraPadAirRing": m(keys=8, rings=1, pen=1),
    "InkoraKeysAir": m(keys=12, pens=0, pen=3),
    "InkoraKeysAirDial": m(keys=10, rings=1, pens=0, pen=3),
}

# Products that also come with the wireless receiver: their name when connected
# through it ("Dongle" group of the name table).
RECEIVER_PIDS = (0x0201, 0x0202, 0x0920, 0x0921, 0x0934)

# Default actions of the express keys, in key order (action numbers of the catalogue):
# brush, eraser, undo, redo, zoom in, zoom out, pan, Alt, Ctrl, Shift, save, copy,
# paste, larger and smaller brush, hide panels, screen mode, default colours, swap
# colours, move, lasso, open, new, new layer, merge, fill, brushes, step backward.
KEY_ACTIONS = [1, 2, 6, 8, 21, 22, 4, 3, 204, 201, 5, 19, 20, 25, 26, 23,
               15, 16, 17, 9, 10, 11, 12, 13, 14, 18, 24, 7]
NEXT_KEY_GROUP = 110
ERASER, RIGHT_CLICK, MIDDLE_CLICK = 27, 207, 208


def table_rows(text):
    usb = re.findall(r'\{0x28BD, (0x[0-9A-Fa-f]+), (\d+), (-?\d+), (\d+), (\d+), "([A-Za-z0-9]+)"(?:, [A-Za-z| ]+)?\}', text)
    ble = re.findall(r'\{0x28BD, (0x[0-9A-Fa-f]+), (\d+), (\d+), (\d+), "([A-Za-z0-9]+)", "[^"]*"\}', text)
    usb = [(int(pid, 16), int(kind), key) for pid, _iface, _col, _mode, kind, key in usb]
    ble = [(int(pid, 16), int(kind), key) for pid, _col, _mode, kind, key in ble]
    return usb, ble


def declared_count(name):
    header = open(TABLES.replace(".cpp", ".h")).read()
    match = re.search(r"constexpr int %s = (\d+);" % name, header)
    return int(match.group(1)) if match else None


def unique(seq):
    seen, out = set(), []
    for item in seq:
        if item not in seen:
            seen.add(item)
            out.append(item)
    return out


def display_name(key):
    # "InkoraPadRingS" -> "Inkora Pad Ring S", "InkoraPadSPlus" -> "Inkora Pad S Plus"
    return re.sub(r"(?<=[a-z0-9])(?=[A-Z])|(?<=[A-Z])(?=[A-Z][a-z])", " ", key)


class Xml:
    def __init__(self):
        self.lines = []

    def open(self, depth, tag, **attrs):
        self.lines.append("%s<%s%s>" % ("  " * depth, tag, self.attrs(attrs)))

    def close(self, depth, tag):
        self.lines.append("%s</%s>" % ("  " * depth, tag))

    def leaf(self, depth, tag, text=None, **attrs):
        if text is None:
            self.lines.append("%s<%s%s/>" % ("  " * depth, tag, self.attrs(attrs)))
        else:
            self.lines.append("%s<%s%s>%s</%s>" % ("  " * depth, tag, self.attrs(attrs), text, tag))

    @staticmethod
    def attrs(attrs):
        return "".join(' %s="%s"' % (k, v) for k, v in attrs.items())


def key_set(x, depth, tag, count, group, **attrs):
    x.open(depth, tag, **attrs)
    for k in range(count):
        if group is not None and k == 0:
            action = NEXT_KEY_GROUP
        else:
            action = KEY_ACTIONS[(k + 4 * (group or 0)) % len(KEY_ACTIONS)]
        # Motid is the key number the tablet reports for this entry (1-based).
        x.leaf(depth + 1, "K%d" % (k + 1), id=0, Show=1, Actid=action, Motid=k + 1)
    x.close(depth, tag)


def ring(x, depth, tag, **attrs):
    x.open(depth, tag, **attrs)
    for w in range(1, 5):
        x.leaf(depth + 1, "W%d" % w, id=0)
    x.close(depth, tag)


def profile(x, key, kind, f):
    x.open(1, key)
    x.open(2, "DeviceInfo")
    for tag, value in (("DeviceRingNum", f["rings"]), ("DeviceKeyNum", f["keys"]),
                       ("DevicePenType", f["pen"]), ("DeviceControl", f["light"]),
                       ("DeviceTrackPad", f["touch"]), ("SupportGroupKeys", f["groups"]),
                       ("DeviceKeyDirection", 1 if kind == 4 else 0), ("DevicePenNum", f["pens"]),
                       ("PenMoveInTablet", 0), ("DeviceCurPenID", 0)):
        x.leaf(3, tag, value)
    x.close(2, "DeviceInfo")

    # Empty areas: the tablet fills in the whole tablet and the whole screen when it
    # loads the profile.
    x.open(2, "Common")
    x.open(3, "ScreenMapping", id=0)
    for tag in ("SX", "SY", "SW", "SH"):
        x.leaf(4, tag, 0)
    x.close(3, "ScreenMapping")
    x.open(3, "TabletPannel", Orientation=0)
    for tag in ("TX", "TY", "TW", "TH"):
        x.leaf(4, tag, 0)
    x.close(3, "TabletPannel")
    for tag in ("DisableInfo", "DisableQuickKey", "DisablePressure", "DisableSlope"):
        x.leaf(3, tag, 0)
    x.open(3, "ScreenRects")
    for _ in range(4):
        x.leaf(4, "Rect", X=0, Y=0, W=0, H=0)
    x.close(3, "ScreenRects")
    # Pen displays are calibrated on screen; tablets have no calibration. 1, 1, 1, 1 is
    # the identity (what exact presses on the calibration targets give); offsets of 0
    # would move the pen by half the display.
    if kind == 2:
        x.leaf(3, "SC", fKX=1, fKY=1, fXLC=1, fYLC=1)
    x.close(2, "Common")

    x.open(2, "CommonAPP")
    for n in range(1, f["pens"] + 1):
        x.open(3, "Pen%d" % n)
        for b, action in enumerate((ERASER, RIGHT_CLICK, MIDDLE_CLICK)):
            x.leaf(4, "PenBtn%d" % b, id=0, Actid=action)
        for tag, value in (("P0", 0), ("P1X", 0.5), ("P1Y", 0.5), ("P2", 1), ("TablePC", 1)):
            x.leaf(4, tag, value)
        x.leaf(4, "RelativeCoords", 0, Speed=5)
        x.close(3, "Pen%d" % n)
    x.leaf(3, "SelectID", 0)
    if f["keys"]:
        if f["groups"]:
            for g in range(4):
                key_set(x, 3, "K" if g == 0 else "K_%d" % g, f["keys"], g, id=1)
        else:
            key_set(x, 3, "K", f["keys"], None)
    if f["rings"] >= 1:
        ring(x, 3, "R", id=0)
    if f["rings"] == 2:
        ring(x, 3, "R2", id=0)
    if f["touch"]:
        ring(x, 3, "TR", id=0, mode=1)
    x.close(2, "CommonAPP")
    x.leaf(2, "Apps")
    x.close(1, key)


def config_xml(models):
    x = Xml()
    x.lines.append('<?xml version="1.0" encoding="UTF-8"?>')
    x.open(0, "InkoraConfig", version=VERSION)
    for key, kind in models:
        profile(x, key, kind, MODELS[key])
    x.close(0, "InkoraConfig")
    return "\n".join(x.lines) + "\n"


def name_config(usb, ble):
    lines = ["; Names shown for the products, by USB product id. Common: connected directly",
             "; or over Bluetooth; Dongle: connected through the wireless receiver.",
             "[Common]"]
    names = {}
    for pid, _kind, key in usb + ble:
        names.setdefault(pid, display_name(key))
    lines += ["PID_%04X=%s" % (pid, names[pid]) for pid in sorted(names)]
    lines += ["", "[Dongle]"]
    lines += ["PID_%04X=%s Wireless" % (pid, names[pid]) for pid in RECEIVER_PIDS if pid in names]
    return "\n".join(lines) + "\n"


ACTIONS = {
    0: "No Action", 1: "Brush (B)", 2: "Eraser (E)", 3: "Alt", 4: "Pan (Space)",
    5: "Save (Ctrl+S)", 6: "Undo (Ctrl+Z)", 7: "Step Backward (Ctrl+Alt+Z)",
    8: "Redo (Ctrl+Shift+Z)", 9: "Move (V)", 10: "Lasso (L)", 11: "Open (Ctrl+O)",
    12: "New (Ctrl+N)", 13: "New Layer (Ctrl+Shift+N)", 14: "Merge Down (Ctrl+E)",
    15: "Screen Mode (F)", 16: "Default Colors (D)", 17: "Swap Colors (X)",
    18: "Fill (Ctrl+Delete)", 19: "Copy (Ctrl+C)", 20: "Paste (Ctrl+V)",
    21: "Zoom In (Ctrl+Num +)", 22: "Zoom Out (Ctrl+Num -)", 23: "Hide Panels (Tab)",
    24: "Brushes (F5)", 25: "Larger Brush (])", 26: "Smaller Brush ([)", 27: "Eraser",
    101: "Open Settings", 102: "Switch Monitor", 103: "Pen/Eraser", 104: "Fine Mode",
    105: "Switch Ring1 Func", 106: "Switch Ring2 Func", 107: "Switch TrackPad Mode",
    108: "No Action", 109: "Brush/Eraser Toggle ([B]/[E])", 110: "Next Key Group", 111: "Show Key Layout",
    201: "Shift", 202: "Left Alt", 203: "Right Alt", 204: "Ctrl", 205: "Space",
    206: "Mouse Left Click", 207: "Mouse Right Click", 208: "Mouse Middle Click",
    209: "Mouse Double Left Click", 210: "Mouse Scroll up", 211: "Mouse Scroll down",
}

# Every other language key the program looks up, with its English text. Values hold
# no "," (the INI reader would make a list of them) and no ";" or quotes.
TEXTS = [
    ("MainWindow.noDevice", "Please connect device."),
    ("MainWindow.gnomeExtension", "Per-application profiles need the Inkora GNOME Shell extension. Enable it with: gnome-extensions enable %1"),
    ("Tray.show", "Show"),
    ("Tray.exit", "Exit"),
    ("WorkArea", "Work Area"),
    ("Pen", "Pen"),
    ("ShortcutKey", "Express Keys"),
    ("TR", "Ring"),
    ("Common.ok", "OK"),
    ("Common.cancel", "Cancel"),
    ("Common.close", "Close"),
    ("Common.clear", "Clear"),
    ("Common.delete", "Delete"),
    ("Common.retry", "Retry"),
    ("Common.error", "Error"),
    ("Common.information", "Information"),
    ("Common.battery", "Low Battery"),
    ("Common.charging", "charging"),
    ("Common.winTips", "Add key combination with the Super key"),
    ("Device.AllScreen", "All Screens"),
    ("Device.Screen", "Screen"),
    ("Device.ScreenHelpInfo1", "Drag over the screen area to use and release."),
    ("Device.ScreenHelpInfo2", "Touch the centre of each cross with the pen tip."),
    ("Device.TabeltHelpInfo1", "Touch one corner of the area with the pen tip."),
    ("Device.TabeltHelpInfo2", "Now touch the opposite corner."),
    ("Device.TabeltHelpInfo3", "The tablet area is set."),
    ("Pen.LabelPen", "Pen"),
    ("Pen.LabelErase", "Eraser"),
    ("Pen.DisableTilt", "Disable Tilt"),
    ("Pen.WindowsInk", "Pressure and tilt for applications"),
    ("Pen.WindowsInkTip", "On: applications get a pen with pressure and tilt. Off: they get a mouse pointer without pressure."),
    ("Pen.RemoveTitle", "Remove Pen"),
    ("Pen.RemoveQuestion", "Remove %1 from the list? Its settings are kept and it comes back when it is next used on the tablet. OK saves the change and Cancel undoes it."),
    ("Pen.Btn0.Item.1", "Eraser"),
    ("Pen.Btn1.Item.1", "Lower Pen Button"),
    ("Pen.Btn2.Item.1", "Upper Pen Button"),
    ("Pen.Btn3.Item.1", "Third Pen Button"),
    ("ShortcutKey.Item.custom", "Custom"),
    ("TR.Ring", "Ring"),
    ("TR.Touch", "Touch Ring"),
    ("TR.Dial", "Dial"),
    ("TR.Item.1", "Zoom"),
    ("TR.Item.2", "Scroll"),
    ("TR.Item.3", "Brush Size"),
    ("TR.Item.4", "Rotate"),
    ("RollSetting.Title", "Ring Function"),
    ("HotKeySetting.Title", "Custom Function"),
    ("HotKeySetting.Group1.checkbox", "Keyboard"),
    ("HotKeySetting.Group2.checkbox", "Mouse Control"),
    ("HotKeySetting.Group3.checkbox", "Run a Program"),
    ("HotKeySetting.Group4.checkbox", "Other"),
    ("HotKeySetting.Group1.Mousecheckbox", "Use custom function name:"),
    ("HotKeySetting.Group1.tips", "Type the keys (at most 20)."),
    ("HotKeySetting.selectexe", "Select Program"),
    ("Setting.item1", "Import settings"),
    ("Setting.item2", "Export settings"),
    ("Setting.item3", "Disable Keyboard Shortcuts"),
    ("Setting.item4", "Close Tips"),
    ("Setting.item5", "Disable Pressure"),
    ("Setting.item6", "Diagnosis"),
    ("Setting.item7", "Please choose a settings file"),
    ("Setting.item8", "Save as"),
    ("Setting.item9", "Driver Download"),
    ("Setting.Tips1", "Settings"),
    ("Information.801", "The settings file was exported."),
    ("Error.101", "ERROR:101 The settings file cannot be opened."),
    ("Error.102", "ERROR:102 The settings file is damaged."),
    ("Error.103", "ERROR:103 The settings file is empty."),
    ("Error.104", "ERROR:104 The settings file is of another version."),
    ("Error.105", "ERROR:105 The settings file has no version."),
    ("Error.201", "The settings file could not be exported!"),
    ("Import.success", "Success"),
    ("Import.plaf", "The file format in the device is incompatible with the current system."),
    ("Import.NotDevice", "There is no profile in the current device."),
    ("Import.tip", "Note: please do not close this page during data transmission."),
    ("DiagnosisFunction.Title", "Diagnosis Tool"),
    ("DiagnosisFunction.Group1.Name", "Hardware detection"),
    ("DiagnosisFunction.product", "Product:"),
    ("DiagnosisFunction.device", "Device:"),
    ("DiagnosisFunction.icversion", "Firmware version:"),
    ("DiagnosisFunction.serialnum", "Serial number:"),
    ("DiagnosisFunction.currentx", "Current X:"),
    ("DiagnosisFunction.currenty", "Current Y:"),
    ("DiagnosisFunction.currentz", "Current pressure:"),
    ("DiagnosisFunction.Group2.Name", "Environmental detection"),
    ("DiagnosisFunction.Group3.Name", "System check"),
    ("DiagnosisFunction.checking", "Checking..."),
    ("DiagnosisFunction.xmlversion", "Configuration version:"),
    ("DiagnosisFunction.deviceversion", "Driver version:"),
    ("DiagnosisFunction.systemversion", "System version:"),
    ("DiagnosisFunction.wintabletest", "Wintab test:"),
    ("DiagnosisFunction.wintabScaled", "%1 x %2 (pressure %3) scaled to the Wintab map's %4 x %5 (pressure %6)"),
    ("DiagnosisFunction.driverinstalltest", "Driver install test:"),
    ("DiagnosisFunction.pass", "pass"),
    ("DiagnosisFunction.fail", "fail"),
    ("DisplaySetting.Caption", "Display Settings"),
    ("DisplaySetting.ColorTemperature", "Color temperature"),
    ("DisplaySetting.Red", "Red"),
    ("DisplaySetting.Green", "Green"),
    ("DisplaySetting.Blue", "Blue"),
    ("DisplaySetting.Brightness", "Brightness"),
    ("DisplaySetting.Constrast", "Contrast"),
    ("DisplaySetting.Restore", "Restore factory settings"),
    ("DriverDownLoad.Tips1", "A new driver version is available. Update now?"),
    ("DriverDownLoad.CancelDLButton", "Not now"),
    ("DriverDownLoad.BeginDlButton", "Update now"),
    ("DriverDownLoad.Tips2", "Downloading…"),
    ("DriverDownLoad.Failed", "The download failed."),
    ("DriverDownLoad.Error.Link", "The update offer has no usable download address."),
    ("DriverDownLoad.Error.Folder", "The folder %1 cannot be created."),
    ("DriverDownLoad.Error.Write", "The file cannot be written: %1"),
    ("DriverDownLoad.Error.Redirects", "The download server sent the request on too often."),
    ("DriverDownLoad.Error.Redirect", "The download server pointed to an address that is not allowed: %1"),
    ("DriverDownLoad.Error.Http", "The download server answered with error %1."),
    ("DriverDownLoad.Error.Network", "The connection failed: %1"),
    ("DriverUpdate.off", "The check for a newer driver is switched off in this installation."),
    ("DriverUpdate.checking", "Checking for a newer driver…"),
    ("DriverUpdate.unreachable", "The update service cannot be reached: %1"),
    ("DriverUpdate.unreadable", "The update service gave an answer that cannot be read."),
    ("DriverUpdate.refused", "The update service refused the request."),
    ("DriverUpdate.noLink", "Driver %1 is out but the update service gave no download address for it."),
    ("DriverUpdate.newest", "Driver %1 is the newest."),
    ("Update.tips", "A firmware update is available for #123."),
    ("Update.NotDevice", "No tablet that needs this update is connected."),
    ("Update.Upgrading", "Updating…"),
    ("Update.UpgradingTips", "Do not unplug the tablet while it is updated."),
    ("Update.UpgradeComplete", "Update complete."),
    ("Update.confirm", "Update"),
    ("Update.cancel", "Cancel"),
    ("Message.editDropped", "The tablet was disconnected while its settings were being edited. The change was not applied."),
    ("Message.tabletLimit", "Inkora works with up to five tablets at a time. Another tablet is connected and will be used as soon as one of the five is unplugged."),
    ("Message.profileDamaged", "Your settings file was damaged and has been replaced by the default settings. The damaged file was kept as %1."),
    ("Message.profileUpgraded", "Your settings were replaced by the default settings of this version. The previous settings file was kept as %1."),
    ("Message.profileLost", "Your settings file could not be used and was replaced by the default settings. It could not be kept."),
    ("Import.noProfile", "This settings file holds no settings for %1 so it was not imported. Your settings are unchanged."),
    ("Import.andMore", "%1 more"),
    ("Import.done", "The settings were imported. Your previous settings were kept as %1."),
    ("Import.restore", "Restore previous settings"),
    ("Update.NoImage", "No firmware update image is installed so there is nothing to update."),
    ("Update.BadImage", "The installed firmware update image cannot be used. Nothing is updated."),
    ("Update.Interrupted", "The tablet left before the update finished. Plug it in again and start the firmware update again."),
    ("Update.OldFirmware", "Firmware before the update:"),
    ("Update.NewFirmware", "Firmware now:"),
    ("Update.WaitRestart", "read when the tablet has restarted"),
    ("Update.ErrorCode", "Error code: %1"),
    ("Update.TipsTitle", "Tips"),
    ("Update.NoDevice", "No Device!"),
    ("App.common", "All"),
    ("KeyGroup.Group", "Group"),
    ("Pen.Mode", "Pen mode"),
    ("Pen.MouseMode", "Mouse mode"),
    ("Pen.Pressure", "Pressure"),
    ("Pen.Soft", "Soft"),
    ("Pen.Firm", "Firm"),
    ("Pen.Slow", "Slow"),
    ("Pen.Fast", "Fast"),
    ("Pen.TabletLight", "Tablet light"),
    ("RollSetting.Name", "Name"),
    ("Setting.title", "Settings"),
    ("Setting.sendToDevice", "Send profile to tablet"),
    ("Setting.fetchFromDevice", "Read profile from tablet"),
    ("Setting.language", "Language"),
    ("Setting.languageSystem", "System"),
    ("ShortcutKey.Title", "Express Keys"),
    ("TR.TouchMode", "Touch"),
    ("TR.WheelMode", "Wheel"),
    ("Tray.setting", "Settings"),
    ("Tray.update", "Check for updates"),
    ("WorkArea.Screen", "Screen area"),
    ("WorkArea.Tablet", "Tablet area"),
    ("WorkArea.FullScreen", "Full screen"),
    ("WorkArea.FullTablet", "Full tablet"),
    ("WorkArea.SelectScreenArea", "Select screen area"),
    ("WorkArea.SelectArea", "Mark with pen"),
    ("WorkArea.Scale", "Keep proportions"),
    ("WorkArea.Reset", "Default"),
    ("WorkArea.Calibrate", "Calibrate"),
    ("FineMode.Caption", "Fine Detail Mode"),
    ("DriverDownLoad.Title", "Inkora Update"),
    ("Common.hide", "Hide"),
]


# The language groups of language.ini, in file order. English is built from the tables
# above; every other group is translated in lang/<group>.ini ("key=text" lines, UTF-8).
LANGUAGE_GROUPS = [
    "English", "ChineseSimplified", "ChineseTraditional", "German", "French", "Japanese",
    "Korean", "Russian", "Spanish", "Italian", "Thai", "Portuguese", "Vietnamese", "Polish",
    "Turkish",
]
PLACEHOLDER = re.compile(r"%[1-9]")


def english_texts():
    texts = list(TEXTS) + [("Actions.%d" % n, ACTIONS[n]) for n in sorted(ACTIONS)]
    for k, v in texts:
        assert '"' not in v and "\\" not in v, k
    return texts


def read_translation(group):
    path = os.path.join(HERE, "lang", group + ".ini")
    texts = {}
    with open(path, encoding="utf-8") as source:
        for number, line in enumerate(source, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            key, sep, value = line.partition("=")
            if not sep or not value.strip() or key in texts:
                sys.exit("generate_profiles: %s:%d: empty, broken or repeated line" % (path, number))
            if '"' in value or "\\" in value:
                sys.exit("generate_profiles: %s:%d: no quotes or backslashes in a text" % (path, number))
            texts[key] = value.strip()
    return texts


def ini_value(text):
    # A comma would make a list of the value and a semicolon start a comment: quote.
    return '"%s"' % text if ("," in text or ";" in text) else text


def language_ini():
    english = english_texts()
    keys = [k for k, _v in english]
    lines = []
    for group in LANGUAGE_GROUPS:
        texts = dict(english) if group == "English" else read_translation(group)
        missing = [k for k in keys if k not in texts]
        extra = sorted(set(texts) - set(keys))
        if missing or extra:
            sys.exit("generate_profiles: lang/%s.ini lacks %s; has unknown %s" % (group, missing, extra))
        for k, v in english:
            if sorted(PLACEHOLDER.findall(texts[k])) != sorted(PLACEHOLDER.findall(v)):
                sys.exit("generate_profiles: lang/%s.ini: %s has other placeholders than English" % (group, k))
        if lines:
            lines.append("")
        lines.append("[%s]" % group)
        lines += ["%s=%s" % (k, ini_value(texts[k])) for k in keys]
    return "\n".join(lines) + "\n"


def main():
    check = sys.argv[1:] == ["--check"]
    if sys.argv[1:] and not check:
        sys.exit(__doc__)
    text = open(TABLES).read()
    usb, ble = table_rows(text)
    for rows, name in ((usb, "kUsbModelCount"), (ble, "kBleModelCount")):
        if len(rows) != declared_count(name):
            sys.exit("generate_profiles: read %d rows for %s from %s" % (len(rows), name, TABLES))
    models = unique([(key, kind) for _pid, kind, key in usb + ble])
    missing = [key for key, _kind in models if key not in MODELS]
    if missing:
        sys.exit("generate_profiles: no model facts for " + ", ".join(missing))
    unused = sorted(set(MODELS) - {key for key, _kind in models})
    if unused:
        sys.exit("generate_profiles: model facts for keys outside the tables: " + ", ".join(unused))

    outputs = {
        "config.xml": config_xml(models),
        "name_config.ini": name_config(usb, ble),
        "language.ini": language_ini(),
    }
    stale = []
    for name, content in outputs.items():
        path = os.path.join(HERE, name)
        current = open(path, encoding="utf-8").read() if os.path.exists(path) else None
        if current == content:
            continue
        if check:
            stale.append(name)
        else:
            with open(path, "w", encoding="utf-8", newline="\n") as out:
                out.write(content)
    if stale:
        print("generate_profiles: out of date: " + ", ".join(stale), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
