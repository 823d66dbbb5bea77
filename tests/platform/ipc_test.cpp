// Named shared memory and robust named mutexes of the Linux ipc backend, each test in
// a folder of its own.
#include "platform/ipc/linux/posixipcbackend.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString kName = QStringLiteral("Local\\TEST_BLOCK");

class Ipc : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QTemporaryDir dir;
    PosixIpcBackend ipc{dir.path()};
};

} // namespace

TEST_F(Ipc, CreatedBlockIsZeroPrivateAndSharedWithEveryLaterOpen)
{
    IpcError error = IpcError::BadName;
    auto owner = ipc.createSharedMemory(kName, 32, &error);
    ASSERT_TRUE(owner) << ipcErrorText(error);
    EXPECT_EQ(error, IpcError::None);
    EXPECT_TRUE(owner->created());
    EXPECT_EQ(owner->size(), 32);
    for (int i = 0; i < 32; ++i)
        ASSERT_EQ(owner->constData()[i], 0) << i;

    // One file per name in the folder, readable and writable by this user only.
    const QString path = ipc.sharedMemoryPath(kName);
    EXPECT_EQ(path, dir.path() + QStringLiteral("/inkora-%1-TEST_BLOCK.mem").arg(::geteuid()));
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    owner->data()[5] = 0x5A;
    auto again = ipc.createSharedMemory(kName, 32, &error);
    ASSERT_TRUE(again);
    EXPECT_FALSE(again->created());
    EXPECT_EQ(again->constData()[5], 0x5A);

    auto reader = ipc.openSharedMemory(kName, 32, true, &error);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->data(), nullptr);
    again->data()[6] = 0x6B;
    EXPECT_EQ(reader->constData()[6], 0x6B);
}

TEST_F(Ipc, OpenRefusesWhatIsMissingTooSmallOrBadlyNamed)
{
    IpcError error = IpcError::None;
    EXPECT_FALSE(ipc.openSharedMemory(kName, 32, false, &error));
    EXPECT_EQ(error, IpcError::NotFound);

    auto block = ipc.createSharedMemory(kName, 32, &error);
    ASSERT_TRUE(block);
    // Mapping past the end of the file would fault on the first access.
    EXPECT_FALSE(ipc.openSharedMemory(kName, 4096 * 2, true, &error));
    EXPECT_EQ(error, IpcError::TooSmall);
    // Its creator may grow it.
    auto grown = ipc.createSharedMemory(kName, 4096 * 2, &error);
    ASSERT_TRUE(grown);
    EXPECT_EQ(grown->constData()[4096 * 2 - 1], 0);

    for (const QString &bad : {QString(), QStringLiteral("Local\\"), QStringLiteral("Local\\a/b"),
                               QStringLiteral("Local\\..\\x"), QString(200, QLatin1Char('a'))}) {
        EXPECT_FALSE(ipc.createSharedMemory(bad, 32, &error)) << bad.toStdString();
        EXPECT_EQ(error, IpcError::BadName) << bad.toStdString();
    }
}

TEST_F(Ipc, ObjectsOthersCouldWriteOrPlantAreRefused)
{
    const QByteArray path = QFile::encodeName(ipc.sharedMemoryPath(kName));
    IpcError error = IpcError::None;
    {
        auto block = ipc.createSharedMemory(kName, 32, &error);
        ASSERT_TRUE(block);
    }
    ASSERT_EQ(::chmod(path.constData(), 0666), 0);
    EXPECT_FALSE(ipc.openSharedMemory(kName, 32, true, &error));
    EXPECT_EQ(error, IpcError::NotOwner);
    EXPECT_FALSE(ipc.createSharedMemory(kName, 32, &error));
    EXPECT_EQ(error, IpcError::NotOwner);

    // A link planted at the name is not followed.
    ASSERT_EQ(::unlink(path.constData()), 0);
    const QByteArray target = QFile::encodeName(dir.filePath(QStringLiteral("elsewhere")));
    QFile(QFile::decodeName(target)).open(QIODevice::WriteOnly);
    ASSERT_EQ(::symlink(target.constData(), path.constData()), 0);
    EXPECT_FALSE(ipc.createSharedMemory(kName, 32, &error));
    EXPECT_NE(error, IpcError::None);

    if (::geteuid() == 0) {
        // Another user's object, even with a private mode.
        ASSERT_EQ(::unlink(path.constData()), 0);
        ASSERT_TRUE(ipc.createSharedMemory(kName, 32, &error));
        ASSERT_EQ(::chown(path.constData(), 65534, 65534), 0);
        EXPECT_FALSE(ipc.openSharedMemory(kName, 32, true, &error));
        EXPECT_EQ(error, IpcError::NotOwner);
    }
}

TEST_F(Ipc, RemovedNameLeavesOpenObjectsWorkingAndTheNextCreateStartsAfresh)
{
    IpcError error = IpcError::None;
    auto block = ipc.createSharedMemory(kName, 32, &error);
    ASSERT_TRUE(block);
    block->data()[0] = 1;
    EXPECT_TRUE(ipc.removeSharedMemory(kName));
    EXPECT_FALSE(ipc.removeSharedMemory(kName));
    block->data()[1] = 2; // still mapped
    auto fresh = ipc.createSharedMemory(kName, 32, &error);
    ASSERT_TRUE(fresh);
    EXPECT_TRUE(fresh->created());
    EXPECT_EQ(fresh->constData()[0], 0);
}

TEST(IpcFolder, TheUsersRuntimeFolderWhenSetElseDevShm)
{
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    EXPECT_EQ(PosixIpcBackend().folder(), runtime.path());
    qputenv("XDG_RUNTIME_DIR", "relative/dir");
    EXPECT_EQ(PosixIpcBackend().folder(), QStringLiteral("/dev/shm"));
    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(PosixIpcBackend().folder(), QStringLiteral("/dev/shm"));
    if (!saved.isNull())
        qputenv("XDG_RUNTIME_DIR", saved);
}

TEST_F(Ipc, MutexWhoseOwnerDiedIsRecoveredAndStaysUsable)
{
    const QString name = QStringLiteral("Local\\TEST_MUTEX");
    IpcError error = IpcError::None;
    auto mutex = ipc.createMutex(name, &error);
    ASSERT_TRUE(mutex) << ipcErrorText(error);

    int locked[2];
    int release[2];
    ASSERT_EQ(::pipe(locked), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The child opens the mutex by name, takes it and dies holding it.
        auto own = ipc.openMutex(name, nullptr);
        const char ok = own && own->lock() == MutexLock::Locked ? 'L' : 'F';
        (void)!::write(locked[1], &ok, 1);
        char go;
        (void)!::read(release[0], &go, 1);
        ::raise(SIGKILL);
        ::_exit(1);
    }
    char state = 0;
    ASSERT_EQ(::read(locked[0], &state, 1), 1);
    ASSERT_EQ(state, 'L');
    EXPECT_EQ(mutex->tryLock(), MutexLock::Busy);

    ASSERT_EQ(::write(release[1], "x", 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));

    EXPECT_EQ(mutex->lock(), MutexLock::LockedOwnerDied);
    mutex->unlock();
    // Made consistent: an ordinary mutex again, for this handle and a new one.
    EXPECT_EQ(mutex->lock(), MutexLock::Locked);
    mutex->unlock();
    auto other = ipc.createMutex(name, &error);
    ASSERT_TRUE(other);
    EXPECT_EQ(other->tryLock(), MutexLock::Locked);
    other->unlock();
    for (int fd : {locked[0], locked[1], release[0], release[1]})
        ::close(fd);
}

TEST_F(Ipc, MutexAndBlockOfOneNameAreSeparateObjects)
{
    IpcError error = IpcError::None;
    auto block = ipc.createSharedMemory(QStringLiteral("Local\\SAME"), 8, &error);
    ASSERT_TRUE(block);
    EXPECT_FALSE(ipc.openMutex(QStringLiteral("Local\\SAME"), &error));
    EXPECT_EQ(error, IpcError::NotFound);
    EXPECT_TRUE(ipc.createMutex(QStringLiteral("Local\\SAME"), &error));
    EXPECT_TRUE(ipc.removeMutex(QStringLiteral("Local\\SAME")));
}
