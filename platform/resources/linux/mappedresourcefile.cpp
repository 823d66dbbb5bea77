#include "platform/resources/resourcefile.h"

#include <QDebug>
#include <QFile>
#include <QResource>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace {

constexpr uintptr_t kBlock = uintptr_t(2) << 20; // the block the kernel maps whole
constexpr uintptr_t kPage = 4096;

// The registered mapping: unregistered and unmapped when the program ends (after
// main() has returned and the application object is gone).
class MappedFile {
public:
    ~MappedFile()
    {
        if (m_data) {
            QResource::unregisterResource(static_cast<const uchar *>(m_data));
            munmap(m_data, m_size);
        }
    }
    bool map(const QString &path)
    {
        const int fd = open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            qWarning().noquote() << "resource file" << path << "cannot be opened:" << std::strerror(errno);
            return false;
        }
        struct stat facts { };
        if (fstat(fd, &facts) != 0 || facts.st_size <= 0) {
            close(fd);
            qWarning().noquote() << "resource file" << path << "is empty or unreadable";
            return false;
        }
        const size_t size = size_t(facts.st_size);
        // A free range with room for a block, then the file one page past a block start
        // inside it (a hint: the kernel may place it elsewhere, which only costs memory).
        void *hint = nullptr;
        void *probe = mmap(nullptr, size + 2 * kBlock, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (probe != MAP_FAILED) {
            hint = reinterpret_cast<void *>(((reinterpret_cast<uintptr_t>(probe) + kBlock) & ~(kBlock - 1)) + kPage);
            munmap(probe, size + 2 * kBlock);
        }
        void *data = mmap(hint, size, PROT_READ, MAP_PRIVATE, fd, 0);
        close(fd);
        if (data == MAP_FAILED) {
            qWarning().noquote() << "resource file" << path << "cannot be mapped:" << std::strerror(errno);
            return false;
        }
        if (!QResource::registerResource(static_cast<const uchar *>(data))) {
            munmap(data, size);
            qWarning().noquote() << "resource file" << path << "is no resource file";
            return false;
        }
        m_data = data;
        m_size = size;
        return true;
    }

private:
    void *m_data = nullptr;
    size_t m_size = 0;
};

} // namespace

bool RegisterResourceFile(const QString &path)
{
    static MappedFile file;
    return file.map(path);
}
