#include "platform/ddc/linux/ddcutilbackend.h"

#include <QDebug>

#include <ddcutil_c_api.h>
#include <dlfcn.h>

#include <cstdlib>
#include <future>
#include <memory>

namespace {

// libddcutil is loaded on the worker's first request, not linked: a run that never
// asks a monitor (a laptop without a pen display) neither maps it nor the libraries it
// pulls in (kmod, libcrypto, zstd, lzma). The header gives the types.
struct DdcApi {
    bool loaded = false;
    decltype(&ddca_open_display2) open = nullptr;
    decltype(&ddca_close_display) close = nullptr;
    decltype(&ddca_rc_name) rcName = nullptr;
    decltype(&ddca_get_display_info_list2) displayList = nullptr;
    decltype(&ddca_free_display_info_list) freeDisplayList = nullptr;
    decltype(&ddca_get_capabilities_string) capabilities = nullptr;
    decltype(&ddca_get_non_table_vcp_value) getVcp = nullptr;
    decltype(&ddca_set_non_table_vcp_value) setVcp = nullptr;
};

template<typename Fn> bool Resolve(void *library, const char *name, Fn *fn)
{
    *fn = reinterpret_cast<Fn>(dlsym(library, name));
    return *fn != nullptr;
}

DdcApi LoadApi()
{
    DdcApi api;
    void *library = nullptr;
    for (const char *name : {"libddcutil.so.4", "libddcutil.so.5", "libddcutil.so"}) {
        library = dlopen(name, RTLD_NOW | RTLD_LOCAL);
        if (library)
            break;
    }
    if (!library) {
        qWarning() << "DDC/CI: libddcutil cannot be loaded:" << dlerror();
        return api;
    }
    // Stays loaded for the rest of the run (its own threads and caches live on).
    api.loaded = Resolve(library, "ddca_open_display2", &api.open) && Resolve(library, "ddca_close_display", &api.close)
        && Resolve(library, "ddca_rc_name", &api.rcName)
        && Resolve(library, "ddca_get_display_info_list2", &api.displayList)
        && Resolve(library, "ddca_free_display_info_list", &api.freeDisplayList)
        && Resolve(library, "ddca_get_capabilities_string", &api.capabilities)
        && Resolve(library, "ddca_get_non_table_vcp_value", &api.getVcp)
        && Resolve(library, "ddca_set_non_table_vcp_value", &api.setVcp);
    if (!api.loaded)
        qWarning() << "DDC/CI: libddcutil lacks a function this program calls";
    return api;
}

// Worker thread only (every libddcutil call runs there).
const DdcApi &Api()
{
    static const DdcApi api = LoadApi();
    return api;
}

struct DisplayListFree {
    void operator()(DDCA_Display_Info_List *list) const { Api().freeDisplayList(list); }
};
using DisplayList = std::unique_ptr<DDCA_Display_Info_List, DisplayListFree>;

// An open monitor for the length of one request: libddcutil opens are exclusive, so
// other programs (and the user's own ddcutil) can reach the monitor in between.
class OpenDisplay {
public:
    explicit OpenDisplay(DDCA_Display_Ref ref)
    {
        const DDCA_Status rc = Api().open(ref, true, &m_handle);
        if (rc != 0) {
            qWarning() << "ddca_open_display2 failed:" << Api().rcName(rc);
            m_handle = nullptr;
        }
    }
    ~OpenDisplay()
    {
        if (m_handle)
            Api().close(m_handle);
    }
    OpenDisplay(const OpenDisplay &) = delete;
    OpenDisplay &operator=(const OpenDisplay &) = delete;
    DDCA_Display_Handle handle() const { return m_handle; }

private:
    DDCA_Display_Handle m_handle = nullptr;
};

} // namespace

// Everything libddcutil hands out; lives and dies on the worker thread.
class DdcutilBackend::Worker {
public:
    DisplayList list;
    QVector<DdcDisplay> displays;

    void detect()
    {
        displays.clear();
        if (!Api().loaded)
            return; // no monitor is ever listed, so no other call reaches the library
        DDCA_Display_Info_List *raw = nullptr;
        Api().displayList(false, &raw);
        list.reset(raw);
        displays.clear();
        if (!list)
            return;
        for (int i = 0; i < list->ct; ++i) {
            const DDCA_Display_Info &info = list->info[i];
            DdcDisplay d;
            d.id = i;
            d.edid = QByteArray(reinterpret_cast<const char *>(info.edid_bytes), sizeof info.edid_bytes);
            d.mfgId = QString::fromLatin1(info.mfg_id);
            d.modelName = QString::fromLatin1(info.model_name);
            d.productCode = info.product_code;
            displays.append(d);
        }
        qInfo() << "DDC/CI monitors found:" << displays.size();
    }

    DDCA_Display_Ref ref(int display) const
    {
        return (list && display >= 0 && display < list->ct) ? list->info[display].dref : nullptr;
    }
};

DdcutilBackend::DdcutilBackend() : m_pWorker(std::make_unique<Worker>())
{
    // Detection takes seconds; it starts now so that the first lookup rarely waits.
    Job detect;
    detect.call = [this] { listOnWorker(); };
    m_jobs.push_back(std::move(detect));
    m_thread = std::thread([this] { run(); });
}

void DdcutilBackend::listOnWorker()
{
    if (m_pWorker->list)
        return;
    m_pWorker->detect();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_displayCount = m_pWorker->displays.size();
}

DdcutilBackend::~DdcutilBackend()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void DdcutilBackend::run()
{
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || !m_jobs.empty(); });
            if (m_jobs.empty())
                break; // stopping, and every queued write is done
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        if (job.call) {
            job.call();
            continue;
        }
        const DDCA_Display_Ref ref = m_pWorker->ref(job.display);
        if (!ref)
            continue;
        OpenDisplay open(ref);
        if (!open.handle())
            continue;
        const DDCA_Status rc =
            Api().setVcp(open.handle(), static_cast<DDCA_Vcp_Feature_Code>(job.code),
                         static_cast<uint8_t>((job.value >> 8) & 0xFF), static_cast<uint8_t>(job.value & 0xFF));
        if (rc != 0)
            qWarning() << "DDC/CI write of feature" << QStringLiteral("0x%1").arg(job.code, 2, 16, QChar('0')) << "="
                       << job.value << "failed:" << Api().rcName(rc);
    }
    m_pWorker.reset(); // libddcutil's list goes on the thread that made it
}

void DdcutilBackend::runOnWorker(std::function<void()> call)
{
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Job job;
        job.call = [call = std::move(call), done] {
            call();
            done->set_value();
        };
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_one();
    finished.wait();
}

QVector<DdcDisplay> DdcutilBackend::displays()
{
    QVector<DdcDisplay> result;
    runOnWorker([this, &result] {
        listOnWorker();
        result = m_pWorker->displays;
    });
    return result;
}

bool DdcutilBackend::capabilities(int display, QByteArray *caps)
{
    bool ok = false;
    runOnWorker([this, display, caps, &ok] {
        const DDCA_Display_Ref ref = m_pWorker->ref(display);
        if (!ref)
            return;
        OpenDisplay open(ref);
        if (!open.handle())
            return;
        char *text = nullptr;
        const DDCA_Status rc = Api().capabilities(open.handle(), &text);
        std::unique_ptr<char, decltype(&std::free)> owned(text, &std::free);
        if (rc != 0) {
            qWarning() << "DDC/CI capabilities failed:" << Api().rcName(rc);
            return;
        }
        if (caps)
            *caps = QByteArray(text ? text : "");
        ok = true;
    });
    return ok;
}

bool DdcutilBackend::getVcp(int display, quint8 code, int *current, int *maximum)
{
    bool ok = false;
    runOnWorker([this, display, code, current, maximum, &ok] {
        const DDCA_Display_Ref ref = m_pWorker->ref(display);
        if (!ref)
            return;
        OpenDisplay open(ref);
        if (!open.handle())
            return;
        DDCA_Non_Table_Vcp_Value value{};
        const DDCA_Status rc = Api().getVcp(open.handle(), code, &value);
        if (rc != 0) {
            qWarning() << "DDC/CI read of feature" << QStringLiteral("0x%1").arg(code, 2, 16, QChar('0'))
                       << "failed:" << Api().rcName(rc);
            return;
        }
        if (current)
            *current = (value.sh << 8) | value.sl;
        if (maximum)
            *maximum = (value.mh << 8) | value.ml;
        ok = true;
    });
    return ok;
}

bool DdcutilBackend::setVcp(int display, quint8 code, int value)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        // Monitors are numbered by the list; before it exists no number is valid.
        if (display < 0 || display >= m_displayCount)
            return false;
        value = qBound(0, value, 0xFFFF);
        if (!m_jobs.empty()) {
            Job &last = m_jobs.back();
            if (!last.call && last.display == display && last.code == code) {
                last.value = value;
                return true;
            }
        }
        Job job;
        job.display = display;
        job.code = code;
        job.value = value;
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_one();
    return true;
}
