#pragma once
// `inkora-hidtool record PATH`: the input reports of one interface as hid-recorder text,
// the form `replay` and the recording parser read.

#include "platform/hid/hidbackend.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

struct RecordOptions {
    int count = -1;      // stop after this many reports; -1: no limit
    int seconds = -1;    // stop after this many seconds; -1: no limit
};

// Why a recording ended.
enum class RecordEnd { Count, Time, Stopped, DeviceGone };

// Writes "# <path>", "N: <product>", "I: <bus> <vid> <pid>" (hex), then one line per
// report: "E: <sec>.<usec> <len> <hex bytes>" with the time since the recording began.
// Reads with the 100 ms bounded read until a limit is reached, *stop becomes true, or
// the device goes away. onIdle runs after each read that brought nothing.
RecordEnd RecordReports(HidDevice &device, const HidDeviceInfo &info, const RecordOptions &options,
                        const std::atomic<bool> &stop, const std::function<void(const QByteArray &)> &out,
                        const std::function<void()> &onIdle = {});

// The command line: arguments after "record". Stops on Ctrl-C too.
int HidRecordCommand(QStringList args);

extern const char kHidRecordHelp[];
