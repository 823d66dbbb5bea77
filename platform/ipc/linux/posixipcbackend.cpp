#include "platform/ipc/linux/posixipcbackend.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kMemorySuffix[] = ".mem";
const char kMutexSuffix[] = ".mutex";
// "Local\\" is the per-session namespace of the design's platform; ours is per user.
const char kLocalPrefix[] = "Local\\";
constexpr int kMaxNameLength = 128;
constexpr uint32_t kMutexMagic = 0x4B4D5458; // "XTMK": the mutex inside is initialised

struct MutexFile {
    uint32_t magic;
    uint32_t reserved;
    pthread_mutex_t mutex;
};

// A file descriptor that closes itself.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return m_fd; }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

// Only this user's regular files that nobody else may touch are opened: a file planted
// by another user in a shared folder such as /dev/shm is refused.
bool OwnedByUs(int fd, off_t *size)
{
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    if (st.st_uid != ::geteuid() || (st.st_mode & 0077) != 0)
        return false;
    *size = st.st_size;
    return true;
}

QByteArray PrivateName(const QByteArray &path)
{
    static std::atomic<unsigned> counter{0};
    return path + ".new-" + QByteArray::number(qint64(::getpid())) + '-' + QByteArray::number(counter++);
}

// Opens an existing object read-write (or read-only), checking its owner and size.
// Returns the fd, or -1 with *error set (NotFound when there is none).
int OpenExisting(const QByteArray &path, bool readOnly, off_t minimum, bool grow, IpcError *error)
{
    Fd fd(::open(path.constData(), (readOnly ? O_RDONLY : O_RDWR) | O_NOFOLLOW | O_CLOEXEC));
    if (fd.get() < 0) {
        *error = errno == ENOENT ? IpcError::NotFound : IpcError::CreateFailed;
        return -1;
    }
    off_t size = 0;
    if (!OwnedByUs(fd.get(), &size)) {
        *error = IpcError::NotOwner;
        return -1;
    }
    if (size < minimum) {
        // Mapping past the end of a file faults on access, so a short object is either
        // grown (by its creator) or refused.
        if (!grow || ::ftruncate(fd.get(), minimum) != 0) {
            *error = IpcError::TooSmall;
            return -1;
        }
    }
    return fd.release();
}

class PosixSharedMemory : public SharedMemory {
public:
    PosixSharedMemory(uint8_t *data, int size, bool readOnly, bool created)
        : m_data(data), m_size(size), m_readOnly(readOnly), m_created(created)
    {
    }
    ~PosixSharedMemory() override { ::munmap(m_data, size_t(m_size)); }

    uint8_t *data() override { return m_readOnly ? nullptr : m_data; }
    const uint8_t *constData() const override { return m_data; }
    int size() const override { return m_size; }
    bool created() const override { return m_created; }

private:
    uint8_t *m_data;
    int m_size;
    bool m_readOnly;
    bool m_created;
};

class PosixNamedMutex : public NamedMutex {
public:
    explicit PosixNamedMutex(MutexFile *file) : m_file(file) {}
    ~PosixNamedMutex() override { ::munmap(m_file, sizeof(MutexFile)); }

    MutexLock lock() override { return Result(::pthread_mutex_lock(&m_file->mutex)); }
    MutexLock tryLock() override { return Result(::pthread_mutex_trylock(&m_file->mutex)); }
    void unlock() override { ::pthread_mutex_unlock(&m_file->mutex); }

private:
    MutexLock Result(int rc)
    {
        switch (rc) {
        case 0:
            return MutexLock::Locked;
        case EOWNERDEAD:
            // Without this the mutex turns unusable for good at the next unlock.
            ::pthread_mutex_consistent(&m_file->mutex);
            return MutexLock::LockedOwnerDied;
        case EBUSY:
            return MutexLock::Busy;
        default:
            return MutexLock::Failed;
        }
    }

    MutexFile *m_file;
};

bool InitMutex(MutexFile *file)
{
    pthread_mutexattr_t attr;
    if (::pthread_mutexattr_init(&attr) != 0)
        return false;
    const bool ok = ::pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED) == 0
        && ::pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST) == 0
        && ::pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE) == 0
        && ::pthread_mutex_init(&file->mutex, &attr) == 0;
    ::pthread_mutexattr_destroy(&attr);
    if (ok)
        file->magic = kMutexMagic;
    return ok;
}

// Creates path with size bytes under a private name, lets prepare fill the mapping,
// then links it into place. Returns the mapping (MAP_FAILED on failure) and whether
// this call won: false when another process linked its object first (the caller then
// opens that one).
void *CreateAndPublish(const QByteArray &path, off_t size, bool (*prepare)(void *), bool *published,
                       IpcError *error)
{
    *published = false;
    const QByteArray tmp = PrivateName(path);
    Fd fd(::open(tmp.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (fd.get() < 0) {
        *error = IpcError::CreateFailed;
        return MAP_FAILED;
    }
    // The umask cannot widen 0600, but make the mode exact all the same.
    if (::fchmod(fd.get(), 0600) != 0 || ::ftruncate(fd.get(), size) != 0) {
        ::unlink(tmp.constData());
        *error = IpcError::CreateFailed;
        return MAP_FAILED;
    }
    void *map = ::mmap(nullptr, size_t(size), PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
    if (map == MAP_FAILED) {
        ::unlink(tmp.constData());
        *error = IpcError::MapFailed;
        return MAP_FAILED;
    }
    if (prepare && !prepare(map)) {
        ::munmap(map, size_t(size));
        ::unlink(tmp.constData());
        *error = IpcError::CreateFailed;
        return MAP_FAILED;
    }
    // link() never replaces: exactly one creator wins the name.
    const int rc = ::link(tmp.constData(), path.constData());
    const int linkErrno = errno;
    ::unlink(tmp.constData());
    if (rc != 0) {
        ::munmap(map, size_t(size));
        *error = linkErrno == EEXIST ? IpcError::None : IpcError::CreateFailed;
        return MAP_FAILED;
    }
    *published = true;
    return map;
}

bool PrepareMutex(void *map)
{
    return InitMutex(static_cast<MutexFile *>(map));
}

} // namespace

PosixIpcBackend::PosixIpcBackend(const QString &folder)
    : m_folder(folder.isEmpty() ? defaultFolder() : folder)
{
}

QString PosixIpcBackend::defaultFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QFileInfo(runtime).isDir())
        return runtime;
    return QStringLiteral("/dev/shm");
}

QString PosixIpcBackend::pathFor(const QString &name, const char *suffix) const
{
    QString base = name;
    if (base.startsWith(QLatin1String(kLocalPrefix)))
        base = base.mid(int(std::strlen(kLocalPrefix)));
    if (base.isEmpty() || base.size() > kMaxNameLength)
        return QString();
    for (const QChar c : base) {
        const bool ok = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            || (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('_') || c == QLatin1Char('-')
            || c == QLatin1Char('.');
        if (!ok)
            return QString();
    }
    return QStringLiteral("%1/inkora-%2-%3%4")
        .arg(m_folder)
        .arg(qulonglong(::geteuid()))
        .arg(base, QLatin1String(suffix));
}

QString PosixIpcBackend::sharedMemoryPath(const QString &name) const
{
    return pathFor(name, kMemorySuffix);
}

QString PosixIpcBackend::mutexPath(const QString &name) const
{
    return pathFor(name, kMutexSuffix);
}

std::unique_ptr<SharedMemory> PosixIpcBackend::createSharedMemory(const QString &name, int size, IpcError *error)
{
    IpcError ignored;
    IpcError &err = error ? *error : ignored;
    err = IpcError::None;
    const QByteArray path = QFile::encodeName(sharedMemoryPath(name));
    if (path.isEmpty() || size <= 0) {
        err = IpcError::BadName;
        return nullptr;
    }
    // Open what is there, else make it; a creator that loses the race to another
    // process opens the winner's object instead.
    for (int attempt = 0; attempt < 3; ++attempt) {
        Fd fd(OpenExisting(path, false, size, true, &err));
        if (fd.get() >= 0) {
            void *map = ::mmap(nullptr, size_t(size), PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
            if (map == MAP_FAILED) {
                err = IpcError::MapFailed;
                return nullptr;
            }
            return std::make_unique<PosixSharedMemory>(static_cast<uint8_t *>(map), size, false, false);
        }
        if (err != IpcError::NotFound)
            return nullptr;
        bool published = false;
        void *map = CreateAndPublish(path, size, nullptr, &published, &err);
        if (published) {
            err = IpcError::None;
            return std::make_unique<PosixSharedMemory>(static_cast<uint8_t *>(map), size, false, true);
        }
        if (err != IpcError::None)
            return nullptr;
    }
    err = IpcError::CreateFailed;
    return nullptr;
}

std::unique_ptr<SharedMemory> PosixIpcBackend::openSharedMemory(const QString &name, int size, bool readOnly,
                                                                IpcError *error)
{
    IpcError ignored;
    IpcError &err = error ? *error : ignored;
    err = IpcError::None;
    const QByteArray path = QFile::encodeName(sharedMemoryPath(name));
    if (path.isEmpty() || size <= 0) {
        err = IpcError::BadName;
        return nullptr;
    }
    Fd fd(OpenExisting(path, readOnly, size, false, &err));
    if (fd.get() < 0)
        return nullptr;
    void *map = ::mmap(nullptr, size_t(size), readOnly ? PROT_READ : PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
    if (map == MAP_FAILED) {
        err = IpcError::MapFailed;
        return nullptr;
    }
    return std::make_unique<PosixSharedMemory>(static_cast<uint8_t *>(map), size, readOnly, false);
}

std::unique_ptr<NamedMutex> PosixIpcBackend::createMutex(const QString &name, IpcError *error)
{
    IpcError ignored;
    IpcError &err = error ? *error : ignored;
    err = IpcError::None;
    const QByteArray path = QFile::encodeName(mutexPath(name));
    if (path.isEmpty()) {
        err = IpcError::BadName;
        return nullptr;
    }
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::unique_ptr<NamedMutex> existing = openMutex(name, &err);
        if (existing || err != IpcError::NotFound)
            return existing;
        bool published = false;
        void *map = CreateAndPublish(path, sizeof(MutexFile), &PrepareMutex, &published, &err);
        if (published) {
            err = IpcError::None;
            return std::make_unique<PosixNamedMutex>(static_cast<MutexFile *>(map));
        }
        if (err != IpcError::None)
            return nullptr;
    }
    err = IpcError::CreateFailed;
    return nullptr;
}

std::unique_ptr<NamedMutex> PosixIpcBackend::openMutex(const QString &name, IpcError *error)
{
    IpcError ignored;
    IpcError &err = error ? *error : ignored;
    err = IpcError::None;
    const QByteArray path = QFile::encodeName(mutexPath(name));
    if (path.isEmpty()) {
        err = IpcError::BadName;
        return nullptr;
    }
    Fd fd(OpenExisting(path, false, sizeof(MutexFile), false, &err));
    if (fd.get() < 0)
        return nullptr;
    void *map = ::mmap(nullptr, sizeof(MutexFile), PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
    if (map == MAP_FAILED) {
        err = IpcError::MapFailed;
        return nullptr;
    }
    auto *file = static_cast<MutexFile *>(map);
    if (file->magic != kMutexMagic) {
        ::munmap(map, sizeof(MutexFile));
        err = IpcError::CreateFailed;
        return nullptr;
    }
    return std::make_unique<PosixNamedMutex>(file);
}

bool PosixIpcBackend::removeSharedMemory(const QString &name)
{
    const QByteArray path = QFile::encodeName(sharedMemoryPath(name));
    return !path.isEmpty() && ::unlink(path.constData()) == 0;
}

bool PosixIpcBackend::removeMutex(const QString &name)
{
    const QByteArray path = QFile::encodeName(mutexPath(name));
    return !path.isEmpty() && ::unlink(path.constData()) == 0;
}
