#!/bin/sh
# After the package's files came or went: udev rereads its rules and applies them again
# to the devices 70-inkora.rules names (the tablets' HID devices with their hidraw and
# event nodes, their USB devices, uinput), so access follows at once, without a replug.
# Nothing is done where udev does not run (a chroot, a container without it).
set -e
if command -v udevadm >/dev/null 2>&1 && [ -d /run/udev ]; then
    udevadm control --reload-rules || true
    for device in /sys/bus/hid/devices/0003:28BD:* /sys/bus/hid/devices/0005:28BD:*; do
        if [ -e "$device" ]; then
            udevadm trigger --action=change --parent-match="$device" || true
        fi
    done
    udevadm trigger --action=change --subsystem-match=usb --attr-match=idVendor=28bd || true
    udevadm trigger --action=change --subsystem-match=misc --sysname-match=uinput || true
fi
exit 0
