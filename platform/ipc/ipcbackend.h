#pragma once
// The ipc facility: named shared memory and named mutexes that other processes of the
// same user open by name. Names keep the design's form ("Local\\WINTAB_MAP_FILENAME");
// the per-user namespace of the backend stands for "Local\\".
//
// Both objects are RAII: destroying one unmaps and closes it. The name itself stays,
// as a session object would, until the backend's remove() or the end of the user's
// session, so a peer that still has it open keeps the same object.

#include <QString>

#include <cstdint>
#include <memory>

enum class IpcError {
    None,
    BadName,      // empty, or holds characters a name cannot carry
    CreateFailed, // the named object could not be made or opened
    MapFailed,    // it exists but could not be mapped
    NotOwner,     // it exists but belongs to another user or others may write it
    TooSmall,     // it exists with fewer bytes than asked for
    NotFound,     // open of a name that does not exist
};

// One mapped block. data() is null for a read-only open.
class SharedMemory {
public:
    virtual ~SharedMemory() = default;
    virtual uint8_t *data() = 0;
    virtual const uint8_t *constData() const = 0;
    virtual int size() const = 0;
    // True when this call made the object; false when it opened one that was there.
    virtual bool created() const = 0;
};

enum class MutexLock {
    Locked,
    // Locked, but the previous owner died holding it: what it guarded may be half
    // written. The mutex itself is usable again; repair the data before unlocking.
    LockedOwnerDied,
    Busy,   // tryLock only: another owner holds it
    Failed,
};

// A mutex shared between processes. The owning thread may take it again (each lock
// needs its own unlock), as a named mutex of the design's platform allows.
class NamedMutex {
public:
    virtual ~NamedMutex() = default;
    virtual MutexLock lock() = 0;
    virtual MutexLock tryLock() = 0;
    virtual void unlock() = 0;
};

class IpcBackend {
public:
    virtual ~IpcBackend() = default;

    // Creates the block, or opens it read-write when it exists (growing it to size when
    // it is smaller). A new block is zero-filled. Null on failure, *error says why.
    virtual std::unique_ptr<SharedMemory> createSharedMemory(const QString &name, int size,
                                                             IpcError *error) = 0;
    // Opens an existing block of at least size bytes.
    virtual std::unique_ptr<SharedMemory> openSharedMemory(const QString &name, int size, bool readOnly,
                                                           IpcError *error) = 0;

    // Creates the mutex unowned, or opens it when it exists.
    virtual std::unique_ptr<NamedMutex> createMutex(const QString &name, IpcError *error) = 0;
    virtual std::unique_ptr<NamedMutex> openMutex(const QString &name, IpcError *error) = 0;

    // Removes a name (block or mutex); objects still open stay usable. False when it
    // was not there.
    virtual bool removeSharedMemory(const QString &name) = 0;
    virtual bool removeMutex(const QString &name) = 0;
};

// Text of an error for log lines.
inline const char *ipcErrorText(IpcError error)
{
    switch (error) {
    case IpcError::None: return "no error";
    case IpcError::BadName: return "bad name";
    case IpcError::CreateFailed: return "create failed";
    case IpcError::MapFailed: return "map failed";
    case IpcError::NotOwner: return "not owned by this user";
    case IpcError::TooSmall: return "too small";
    case IpcError::NotFound: return "not found";
    }
    return "unknown error";
}
