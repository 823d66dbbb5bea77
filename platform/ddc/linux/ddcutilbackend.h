#pragma once
// DDC/CI through libddcutil. Monitor I/O is slow (tens of milliseconds per request,
// seconds for the first detection) and a monitor can be opened by one client at a time,
// so every libddcutil call runs on one worker thread that this object owns. Reads wait
// for that thread; writes only queue. A queued write that has not started yet is
// replaced by a newer write of the same feature of the same monitor, so a dragged slider
// does not pile up requests.

#include "platform/ddc/ddcbackend.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class DdcutilBackend : public DdcBackend {
public:
    DdcutilBackend();
    // Carries out the writes still queued, then stops the worker.
    ~DdcutilBackend() override;

    DdcutilBackend(const DdcutilBackend &) = delete;
    DdcutilBackend &operator=(const DdcutilBackend &) = delete;

    QVector<DdcDisplay> displays() override;
    bool capabilities(int display, QByteArray *caps) override;
    bool getVcp(int display, quint8 code, int *current, int *maximum) override;
    bool setVcp(int display, quint8 code, int value) override;

private:
    struct Job {
        std::function<void()> call; // a read; empty for a write
        int display = -1;
        int code = -1;
        int value = 0;
    };
    class Worker;

    // Runs call on the worker and waits for it.
    void runOnWorker(std::function<void()> call);
    void run();
    // Worker thread: reads the monitor list once.
    void listOnWorker();

    std::mutex m_mutex;               // guards m_jobs, m_stop, m_displayCount
    std::condition_variable m_wake;
    std::deque<Job> m_jobs;
    bool m_stop = false;
    int m_displayCount = -1;          // -1 until the worker has listed the monitors
    std::unique_ptr<Worker> m_pWorker; // touched by the worker thread only
    std::thread m_thread;
};
