#pragma once
// Linux backend of the ipc facility. Every named object is a file of its own in a
// per-user folder: $XDG_RUNTIME_DIR (a 0700 tmpfs folder of the user's session) when it
// is set, else /dev/shm (what shm_open uses). Files are named
// "inkora-<uid>-<name>.mem" / ".mutex", made 0600, and opened only when they belong to
// this user and nobody else may write them. A new object is built under a private name
// and linked into place whole, so a peer never sees a half-made one.
//
// A mutex is a PTHREAD_PROCESS_SHARED, PTHREAD_MUTEX_ROBUST mutex inside its file:
// when its owner dies holding it, the next lock gets EOWNERDEAD and the mutex is made
// consistent again.

#include "platform/ipc/ipcbackend.h"

class PosixIpcBackend : public IpcBackend {
public:
    // folder: where the objects live; empty for the user's default folder. Tests pass a
    // folder of their own.
    explicit PosixIpcBackend(const QString &folder = QString());

    std::unique_ptr<SharedMemory> createSharedMemory(const QString &name, int size, IpcError *error) override;
    std::unique_ptr<SharedMemory> openSharedMemory(const QString &name, int size, bool readOnly,
                                                   IpcError *error) override;
    std::unique_ptr<NamedMutex> createMutex(const QString &name, IpcError *error) override;
    std::unique_ptr<NamedMutex> openMutex(const QString &name, IpcError *error) override;
    bool removeSharedMemory(const QString &name) override;
    bool removeMutex(const QString &name) override;

    QString folder() const { return m_folder; }
    // The file that holds a block or a mutex of that name; empty for a bad name.
    QString sharedMemoryPath(const QString &name) const;
    QString mutexPath(const QString &name) const;

    // The default folder: $XDG_RUNTIME_DIR, or /dev/shm.
    static QString defaultFolder();

private:
    QString pathFor(const QString &name, const char *suffix) const;

    QString m_folder;
};
