#include "firmware/deviceinterface.h"

#include "platform/hid/hidbackend.h"
#include "platform/hid/hidmonitor.h"

#include <QByteArray>
#include <QDebug>
#include <QMetaObject>
#include <QTextCodec>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// The vendor interface of these tablets carries 64-byte input and output reports
// (report id included); shorter commands are zero-padded to it.
constexpr int kInputReportLength = 64;
constexpr int kOutputReportLength = 64;
constexpr int kReadWaitMs = 1000;
constexpr int kWriteWaitMs = 300;
// Indexed strings are read as 64 wide characters: 128 bytes of UTF-16.
constexpr int kStringBytes = 128;

// Debug texts as the tablet tools print them: GBK-encoded Chinese words.
const char kGbkFailed[] = "\xCA\xA7\xB0\xDC";                                    // "failed"
const char kGbkReadThreadStarted[] = "HID\xB6\xC1\xCF\xDF\xB3\xCC\xC6\xF4\xB6\xAF"; // "HID read thread started"
const char kGbkReadThreadClosed[] = "HID\xB6\xC1\xCF\xDF\xB3\xCC\xB9\xD8\xB1\xD5";  // "HID read thread closed"

QString FromGbk(const char *bytes)
{
    if (QTextCodec *gbk = QTextCodec::codecForName("GBK"))
        return gbk->toUnicode(bytes);
    return QString::fromLatin1(bytes);
}

// --- the process's backend ---
std::mutex g_backendLock; // guards g_backend
std::shared_ptr<HidBackend> g_backend;

std::shared_ptr<HidBackend> Backend()
{
    std::lock_guard<std::mutex> lock(g_backendLock);
    return g_backend;
}

// Writes one output report on a thread of its own, so the caller can give up after
// 300 ms: a write not yet started is then dropped, one in progress is left to finish
// and its result ignored.
class BoundedWriter {
public:
    explicit BoundedWriter(HidDevice *device) : m_device(device) { m_thread = std::thread([this] { Run(); }); }
    ~BoundedWriter()
    {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_quit = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }

    bool Write(const QByteArray &bytes, int timeoutMs)
    {
        auto job = std::make_shared<Job>();
        job->bytes = bytes;
        std::unique_lock<std::mutex> lock(m_lock);
        m_queue.push_back(job);
        m_wake.notify_all();
        const bool finished = m_done.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                              [&job] { return job->state == Job::Finished; });
        if (!finished) {
            job->state = Job::Abandoned;
            return false;
        }
        return job->result == bytes.size();
    }

private:
    struct Job {
        enum State { Queued, Running, Finished, Abandoned };
        QByteArray bytes;
        State state = Queued;
        int result = -1;
    };

    void Run()
    {
        std::unique_lock<std::mutex> lock(m_lock);
        for (;;) {
            m_wake.wait(lock, [this] { return m_quit || !m_queue.empty(); });
            if (m_quit)
                return;
            std::shared_ptr<Job> job = m_queue.front();
            m_queue.pop_front();
            if (job->state == Job::Abandoned)
                continue; // its sender gave up before it started: cancelled
            job->state = Job::Running;
            lock.unlock();
            const int written = m_device->write(reinterpret_cast<const uint8_t *>(job->bytes.constData()),
                                                job->bytes.size());
            lock.lock();
            job->result = written;
            if (job->state == Job::Running)
                job->state = Job::Finished;
            m_done.notify_all();
        }
    }

    HidDevice *const m_device;
    std::mutex m_lock; // guards m_queue, m_quit and every Job
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::deque<std::shared_ptr<Job>> m_queue;
    bool m_quit = false;
    std::thread m_thread; // last: starts once the members above exist
};

} // namespace

// One open device. The reading thread owns the read side of handle; callbackLock guards
// the data callback and is held while it runs, so UnregisterDataCallBack returns only
// once no call is in progress; stopLock guards stop.
struct FwDevice {
    std::string path;
    std::unique_ptr<HidDevice> handle;
    std::unique_ptr<BoundedWriter> writer;
    FwDeviceAttribute attributes{};

    std::mutex callbackLock;
    FwDataCallBack callback = nullptr;
    void *user = nullptr;

    std::mutex stopLock;
    std::condition_variable stopWake;
    bool stop = false;
    std::thread reader;
};

namespace {

std::mutex g_devicesLock; // guards g_devices
std::vector<FwDevice *> g_devices;

void CopyText(char *target, const QString &text)
{
    // At most 127 bytes and the terminator, never cutting a UTF-8 sequence in two.
    QByteArray bytes = text.toUtf8();
    int n = std::min(int(bytes.size()), kStringBytes - 1);
    while (n > 0 && n < bytes.size() && (uint8_t(bytes[n]) & 0xC0) == 0x80)
        --n;
    std::memset(target, 0, kStringBytes);
    std::memcpy(target, bytes.constData(), size_t(n));
}

bool FillDeviceAttribute(HidDevice &device, FwDeviceAttribute *a)
{
    uint8_t g[kStringBytes] = {};
    if (device.indexedStringRaw(100, g, sizeof g) < 0)
        return false;
    a->MaxX = int32_t(g[0] | g[1] << 8 | g[10] << 16);
    a->MaxY = int32_t(g[2] | g[3] << 8 | g[11] << 16);
    a->MaxPressure = int32_t(g[6] | g[7] << 8);
    a->Resolution = int32_t(g[8] | g[9] << 8);
    if (a->Resolution == 0)
        a->Resolution = 5080;
    a->WidthInch100 = a->MaxX * 100 / a->Resolution;
    a->HeightInch100 = a->MaxY * 100 / a->Resolution;

    char *texts[] = {a->Manufacturer, a->ProductName, a->SerialNumber, a->ICVersion, a->ICData};
    for (int index = 1; index <= 5; ++index) {
        QString text;
        if (!device.indexedString(index, &text))
            return false;
        CopyText(texts[index - 1], text);
    }
    if (device.indexedStringRaw(110, a->TabletType, kStringBytes) < 0)
        return false;
    if (device.indexedStringRaw(131, a->SerialCode, kStringBytes) < 0)
        return false;
    return true;
}

void ReadLoop(FwDevice *d)
{
    qDebug().noquote() << FromGbk(kGbkReadThreadStarted);
    std::vector<uint8_t> buffer(kInputReportLength);
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(d->stopLock);
            if (d->stop)
                break;
        }
        std::fill(buffer.begin(), buffer.end(), 0);
        const int n = d->handle->readTimeout(buffer.data(), int(buffer.size()), kReadWaitMs);
        if (n > 0) {
            std::lock_guard<std::mutex> lock(d->callbackLock);
            if (d->callback)
                d->callback(buffer.data(), n, d->user);
        } else if (n < 0) {
            // The device is gone: every read fails at once, so wait for the close here
            // instead of spinning until the removal notice arrives.
            std::unique_lock<std::mutex> lock(d->stopLock);
            d->stopWake.wait_for(lock, std::chrono::milliseconds(kReadWaitMs), [d] { return d->stop; });
        }
    }
    qDebug().noquote() << FromGbk(kGbkReadThreadClosed);
}

bool Listed(FwDevice *device)
{
    std::lock_guard<std::mutex> lock(g_devicesLock);
    return std::find(g_devices.begin(), g_devices.end(), device) != g_devices.end();
}

bool MatchesVendor(const QString &path)
{
    // USB paths carry "VID_28BD", Bluetooth paths "0228bd_pid"; compared upper-cased.
    const QString upper = path.toUpper();
    return upper.contains(QLatin1String("VID_28BD")) || upper.contains(QLatin1String("0228BD_PID"));
}

// --- device notifications ---
std::mutex g_notifyLock; // guards g_notifyCallback/g_notifyUser; held while one runs
FwDevNotifyCallBack g_notifyCallback = nullptr;
void *g_notifyUser = nullptr;

void Notify(const QString &path, bool arrived)
{
    const QString upper = path.toUpper();
    if (!MatchesVendor(upper))
        return;
    const QByteArray text = upper.toUtf8();
    std::lock_guard<std::mutex> lock(g_notifyLock);
    if (g_notifyCallback)
        g_notifyCallback(text.constData(), text.constData(), arrived ? 1 : 0, g_notifyUser);
}

// The notification context: a thread of its own with an event loop, on which the
// backend's monitor is made, reports every vendor's arrivals and removals, and is
// destroyed. Set-up is handed over with standard locks only, so thread sanitizer
// builds see every ordering.
class NotifyContext : public QThread {
public:
    explicit NotifyContext(std::shared_ptr<HidBackend> backend) : m_backend(std::move(backend))
    {
        setObjectName(QStringLiteral("FwDeviceNotify"));
        start();
        std::unique_lock<std::mutex> lock(m_lock);
        m_readyWake.wait(lock, [this] { return m_ready; });
    }
    ~NotifyContext() override
    {
        quit();
        wait();
    }

protected:
    void run() override
    {
        std::unique_ptr<HidMonitor> monitor = m_backend->createMonitor(0);
        if (!monitor || !monitor->start()) {
            qWarning() << "Device notifications are not available; arrivals go unnoticed";
        } else {
            QObject::connect(monitor.get(), &HidMonitor::interfaceArrived, monitor.get(),
                             [](const HidDeviceInfo &info) { Notify(info.path, true); }, Qt::DirectConnection);
            QObject::connect(monitor.get(), &HidMonitor::interfaceRemoved, monitor.get(),
                             [](const HidDeviceInfo &info) { Notify(info.path, false); }, Qt::DirectConnection);
        }
        {
            // Notified under the lock: the waiter may destroy this object as soon as
            // it sees m_ready.
            std::lock_guard<std::mutex> lock(m_lock);
            m_ready = true;
            m_readyWake.notify_all();
        }
        exec();
        monitor.reset(); // on the thread it lives on
    }

private:
    const std::shared_ptr<HidBackend> m_backend;
    std::mutex m_lock; // guards m_ready
    std::condition_variable m_readyWake;
    bool m_ready = false;
};

std::mutex g_contextLock; // guards g_context
std::unique_ptr<NotifyContext> g_context;

} // namespace

void SetDeviceInterfaceBackend(std::shared_ptr<HidBackend> backend)
{
    std::lock_guard<std::mutex> lock(g_backendLock);
    g_backend = std::move(backend);
}

extern "C" {

bool InitLib(void)
{
    const std::shared_ptr<HidBackend> backend = Backend();
    if (!backend) {
        qWarning() << "InitLib: no HID backend installed";
        return false;
    }
    if (!backend->init())
        qWarning() << "InitLib: the HID library did not start";
    std::lock_guard<std::mutex> lock(g_contextLock);
    if (!g_context)
        g_context = std::make_unique<NotifyContext>(backend);
    return true;
}

void ReleaseLib(void)
{
    std::unique_ptr<NotifyContext> context;
    {
        std::lock_guard<std::mutex> lock(g_contextLock);
        context = std::move(g_context);
    }
    context.reset();
    std::lock_guard<std::mutex> lock(g_notifyLock);
    g_notifyCallback = nullptr;
    g_notifyUser = nullptr;
}

bool OpenDevice(const char *path, FwDevice **device)
{
    if (!device)
        return false;
    auto *d = new FwDevice;
    d->path = path ? path : "";
    {
        std::lock_guard<std::mutex> lock(g_devicesLock);
        g_devices.push_back(d);
    }
    *device = d;

    const std::shared_ptr<HidBackend> backend = Backend();
    if (backend && path)
        d->handle = backend->open(QString::fromUtf8(path));
    if (!d->handle) {
        qDebug().noquote() << QStringLiteral("OpenHidDevice") + FromGbk(kGbkFailed) + QLatin1Char('.');
        return false;
    }
    if (!FillDeviceAttribute(*d->handle, &d->attributes)) {
        qDebug().noquote() << QStringLiteral("FillDeviceAttribute") + FromGbk(kGbkFailed) + QLatin1Char('.');
        d->handle.reset();
        return false;
    }
    d->writer = std::make_unique<BoundedWriter>(d->handle.get());
    if (d->attributes.TabletType[1] == 0x30 || d->attributes.TabletType[1] == 0x10) {
        const uint8_t command[3] = {0x02, 0xB0, 0x04};
        SendCmd(d, command, sizeof command);
    }
    d->reader = std::thread(ReadLoop, d);
    return true;
}

bool CloseDevice(FwDevice *device)
{
    {
        std::lock_guard<std::mutex> lock(g_devicesLock);
        auto it = std::find(g_devices.begin(), g_devices.end(), device);
        if (it == g_devices.end())
            return false; // null, or closed already
        g_devices.erase(it);
    }
    {
        std::lock_guard<std::mutex> lock(device->stopLock);
        device->stop = true;
    }
    device->stopWake.notify_all();
    if (device->reader.joinable())
        device->reader.join(); // within one read wait (1000 ms) plus a callback in progress
    device->writer.reset();
    device->handle.reset();
    delete device;
    return true;
}

void RegisterDataCallBack(FwDataCallBack callback, FwDevice *device, void *user)
{
    if (!device)
        return;
    std::lock_guard<std::mutex> lock(device->callbackLock);
    device->callback = callback;
    device->user = user;
}

void UnregisterDataCallBack(FwDevice *device)
{
    if (!device)
        return;
    std::lock_guard<std::mutex> lock(device->callbackLock);
    device->callback = nullptr;
    device->user = nullptr;
}

void RegisterDevNotifyCallBack(FwDevNotifyCallBack callback, void *user)
{
    {
        std::lock_guard<std::mutex> lock(g_notifyLock);
        g_notifyCallback = callback;
        g_notifyUser = user;
    }
    const std::shared_ptr<HidBackend> backend = Backend();
    if (!backend)
        return;
    for (const HidDeviceInfo &info : backend->enumerate(0))
        Notify(info.path, true);
}

FwDeviceAttribute GetDeviceAttribute(FwDevice *device)
{
    FwDeviceAttribute a{};
    if (device)
        a = device->attributes; // written once by OpenDevice, read-only afterwards
    return a;
}

const char *GetForegroundAppPath(void *)
{
    // Serves a driver-side client; the updater has no foreground facility and never
    // asks, so the answer is "unknown".
    return "";
}

bool SendToDriverLib(const void *)
{
    // Pen data forwarding belongs to the main program's driver link, not the updater.
    return false;
}

bool SendCmd(FwDevice *device, const uint8_t *buffer, int length)
{
    if (!device || !device->writer || !buffer || length <= 0)
        return false;
    if (length > kOutputReportLength) {
        // Cutting it to the report length would send part of a command as if it were all.
        qWarning() << "SendCmd: command of" << length << "bytes exceeds the output report of"
                   << kOutputReportLength;
        return false;
    }
    QByteArray report(kOutputReportLength, '\0');
    std::memcpy(report.data(), buffer, size_t(length));
    return device->writer->Write(report, kWriteWaitMs);
}

const char *GetStringID(FwDevice *device, int id)
{
    // One buffer per calling thread: the reading thread and the GUI thread may both ask.
    thread_local char text[kStringBytes];
    text[0] = '\0';
    if (!device || !device->handle || !Listed(device))
        return text;
    QString value;
    if (device->handle->indexedString(id & 0xFF, &value))
        CopyText(text, value);
    return text;
}

} // extern "C"
