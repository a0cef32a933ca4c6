#include "faulty_files_for_tests.h"

#include <sqlite3.h>

#include <cstring>

namespace dao::testing {
namespace {

struct Plan {
    bool counting = false;
    Fault fault = Fault::IoError;
    long seen = 0;
    long failAt = 0; // 0: none
    long made = 0;
    // A lock that failed stays unavailable to its file until that file unlocks: the engine asks
    // again and again for the lock time, as it would while another program held it.
    sqlite3_file* busyFile = nullptr;
    int busyLevel = 0;
};

Plan& plan() {
    static Plan p;
    return p;
}

// Whether this operation, one of the kind `kind`, is the one to fail.
bool failsNow(Fault kind) {
    Plan& p = plan();
    if (!p.counting || p.fault != kind) return false;
    ++p.seen;
    if (p.failAt == 0 || p.seen != p.failAt) return false;
    p.failAt = 0;
    ++p.made;
    return true;
}

bool ioFails() {
    return failsNow(Fault::IoError);
}
bool writeFails(int& rc, int ioCode) {
    if (failsNow(Fault::DiskFull)) {
        rc = SQLITE_FULL;
        return true;
    }
    if (ioFails()) {
        rc = ioCode;
        return true;
    }
    return false;
}

struct FaultyFile {
    sqlite3_file base;
    sqlite3_file* real; // lies just after this struct
};

sqlite3_file* real(sqlite3_file* f) {
    return reinterpret_cast<FaultyFile*>(f)->real;
}

int fileClose(sqlite3_file* f) {
    if (plan().busyFile == f) plan().busyFile = nullptr;
    return real(f)->pMethods->xClose(real(f));
}
int fileRead(sqlite3_file* f, void* buffer, int amount, sqlite3_int64 offset) {
    if (ioFails()) return SQLITE_IOERR_READ;
    return real(f)->pMethods->xRead(real(f), buffer, amount, offset);
}
int fileWrite(sqlite3_file* f, const void* buffer, int amount, sqlite3_int64 offset) {
    if (int rc = 0; writeFails(rc, SQLITE_IOERR_WRITE)) return rc;
    return real(f)->pMethods->xWrite(real(f), buffer, amount, offset);
}
int fileTruncate(sqlite3_file* f, sqlite3_int64 size) {
    if (int rc = 0; writeFails(rc, SQLITE_IOERR_TRUNCATE)) return rc;
    return real(f)->pMethods->xTruncate(real(f), size);
}
int fileSync(sqlite3_file* f, int flags) {
    if (ioFails()) return SQLITE_IOERR_FSYNC;
    return real(f)->pMethods->xSync(real(f), flags);
}
int fileSize(sqlite3_file* f, sqlite3_int64* size) {
    return real(f)->pMethods->xFileSize(real(f), size);
}
int fileLock(sqlite3_file* f, int level) {
    Plan& p = plan();
    if (p.busyFile == f && p.busyLevel == level) return SQLITE_BUSY;
    if (failsNow(Fault::Busy)) {
        p.busyFile = f;
        p.busyLevel = level;
        return SQLITE_BUSY;
    }
    return real(f)->pMethods->xLock(real(f), level);
}
int fileUnlock(sqlite3_file* f, int level) {
    if (plan().busyFile == f) plan().busyFile = nullptr;
    return real(f)->pMethods->xUnlock(real(f), level);
}
int fileCheckReservedLock(sqlite3_file* f, int* out) {
    return real(f)->pMethods->xCheckReservedLock(real(f), out);
}
int fileControl(sqlite3_file* f, int op, void* arg) {
    return real(f)->pMethods->xFileControl(real(f), op, arg);
}
int fileSectorSize(sqlite3_file* f) {
    return real(f)->pMethods->xSectorSize(real(f));
}
int fileDeviceCharacteristics(sqlite3_file* f) {
    return real(f)->pMethods->xDeviceCharacteristics(real(f));
}
int fileShmMap(sqlite3_file* f, int region, int size, int extend, void volatile** out) {
    return real(f)->pMethods->xShmMap(real(f), region, size, extend, out);
}
int fileShmLock(sqlite3_file* f, int offset, int n, int flags) {
    if ((flags & SQLITE_SHM_LOCK) && failsNow(Fault::Busy)) return SQLITE_BUSY;
    return real(f)->pMethods->xShmLock(real(f), offset, n, flags);
}
void fileShmBarrier(sqlite3_file* f) {
    real(f)->pMethods->xShmBarrier(real(f));
}
int fileShmUnmap(sqlite3_file* f, int deleteFlag) {
    return real(f)->pMethods->xShmUnmap(real(f), deleteFlag);
}
int fileFetch(sqlite3_file* f, sqlite3_int64 offset, int amount, void** out) {
    return real(f)->pMethods->xFetch(real(f), offset, amount, out);
}
int fileUnfetch(sqlite3_file* f, sqlite3_int64 offset, void* page) {
    return real(f)->pMethods->xUnfetch(real(f), offset, page);
}

// Methods of the same version as the real file's: a method the real file lacks is absent here too.
sqlite3_io_methods methodsLike(const sqlite3_io_methods& r) {
    sqlite3_io_methods m{};
    m.iVersion = r.iVersion;
    m.xClose = fileClose;
    m.xRead = fileRead;
    m.xWrite = fileWrite;
    m.xTruncate = fileTruncate;
    m.xSync = fileSync;
    m.xFileSize = fileSize;
    m.xLock = fileLock;
    m.xUnlock = fileUnlock;
    m.xCheckReservedLock = fileCheckReservedLock;
    m.xFileControl = fileControl;
    m.xSectorSize = fileSectorSize;
    m.xDeviceCharacteristics = fileDeviceCharacteristics;
    if (r.iVersion >= 2) {
        m.xShmMap = fileShmMap;
        m.xShmLock = fileShmLock;
        m.xShmBarrier = fileShmBarrier;
        m.xShmUnmap = fileShmUnmap;
    }
    if (r.iVersion >= 3) {
        m.xFetch = fileFetch;
        m.xUnfetch = fileUnfetch;
    }
    return m;
}

sqlite3_vfs* systemVfs = nullptr;

int vfsOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags) {
    auto* file = reinterpret_cast<FaultyFile*>(f);
    file->real = reinterpret_cast<sqlite3_file*>(file + 1);
    file->base.pMethods = nullptr;
    int rc = systemVfs->xOpen(systemVfs, name, file->real, flags, outFlags);
    if (file->real->pMethods) {
        // One table per version of the real methods; the system's layer uses one for all its files.
        static sqlite3_io_methods methods = methodsLike(*file->real->pMethods);
        file->base.pMethods = &methods;
    }
    return rc;
}
int vfsDelete(sqlite3_vfs*, const char* name, int syncDir) {
    if (ioFails()) return SQLITE_IOERR_DELETE;
    return systemVfs->xDelete(systemVfs, name, syncDir);
}
int vfsAccess(sqlite3_vfs*, const char* name, int flags, int* out) {
    return systemVfs->xAccess(systemVfs, name, flags, out);
}
int vfsFullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
    return systemVfs->xFullPathname(systemVfs, name, size, out);
}
void* vfsDlOpen(sqlite3_vfs*, const char* name) {
    return systemVfs->xDlOpen(systemVfs, name);
}
void vfsDlError(sqlite3_vfs*, int size, char* out) {
    systemVfs->xDlError(systemVfs, size, out);
}
void (*vfsDlSym(sqlite3_vfs*, void* handle, const char* symbol))(void) {
    return systemVfs->xDlSym(systemVfs, handle, symbol);
}
void vfsDlClose(sqlite3_vfs*, void* handle) {
    systemVfs->xDlClose(systemVfs, handle);
}
int vfsRandomness(sqlite3_vfs*, int size, char* out) {
    return systemVfs->xRandomness(systemVfs, size, out);
}
int vfsSleep(sqlite3_vfs*, int micro) {
    return systemVfs->xSleep(systemVfs, micro);
}
int vfsCurrentTime(sqlite3_vfs*, double* out) {
    return systemVfs->xCurrentTime(systemVfs, out);
}
int vfsGetLastError(sqlite3_vfs*, int size, char* out) {
    return systemVfs->xGetLastError(systemVfs, size, out);
}
int vfsCurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) {
    return systemVfs->xCurrentTimeInt64(systemVfs, out);
}

} // namespace

const char* faultName(Fault fault) {
    switch (fault) {
    case Fault::IoError:
        return "an I/O error";
    case Fault::DiskFull:
        return "a full disk";
    case Fault::Busy:
        return "a lock held elsewhere";
    }
    return "?";
}

const char* wordsForFault(Fault fault) {
    switch (fault) {
    case Fault::IoError:
        return "disk or network error";
    case Fault::DiskFull:
        return "disk is full";
    case Fault::Busy:
        return "locked by another user";
    }
    return "?";
}

void installFaultyFiles() {
    static sqlite3_vfs vfs{};
    if (systemVfs) return;
    sqlite3_initialize();
    systemVfs = sqlite3_vfs_find(nullptr);
    vfs.iVersion = 2;
    vfs.szOsFile = int(sizeof(FaultyFile)) + systemVfs->szOsFile;
    vfs.mxPathname = systemVfs->mxPathname;
    vfs.zName = "dorvane-faulty";
    vfs.xOpen = vfsOpen;
    vfs.xDelete = vfsDelete;
    vfs.xAccess = vfsAccess;
    vfs.xFullPathname = vfsFullPathname;
    vfs.xDlOpen = vfsDlOpen;
    vfs.xDlError = vfsDlError;
    vfs.xDlSym = vfsDlSym;
    vfs.xDlClose = vfsDlClose;
    vfs.xRandomness = vfsRandomness;
    vfs.xSleep = vfsSleep;
    vfs.xCurrentTime = vfsCurrentTime;
    vfs.xGetLastError = vfsGetLastError;
    vfs.xCurrentTimeInt64 = vfsCurrentTimeInt64;
    sqlite3_vfs_register(&vfs, 1);
}

void countOperations(Fault fault) {
    Plan& p = plan();
    p.counting = true;
    p.fault = fault;
    p.seen = 0;
    p.failAt = 0;
    p.busyFile = nullptr;
}

long operationsCounted() {
    return plan().seen;
}

void failOperation(Fault fault, long nth) {
    countOperations(fault);
    plan().failAt = nth;
}

void stopFaults() {
    Plan& p = plan();
    p.counting = false;
    p.failAt = 0;
    p.busyFile = nullptr;
}

long failuresMade() {
    return plan().made;
}

} // namespace dao::testing
