#include "hive_file.h"

#include "hive_text.h"
#include "winreg.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace winreg {

namespace {

std::function<int(HiveStep)>& stepHook() {
    static std::function<int(HiveStep)> hook;
    return hook;
}

// The errno a test makes this step fail with, or 0.
int refused(HiveStep step) {
    return stepHook() ? stepHook()(step) : 0;
}

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/tmp";
}

long errorFromErrno(int e) {
    switch (e) {
    case EACCES:
    case EPERM:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    default:
        return ERROR_WRITE_FAULT;
    }
}

// mkdir -p with private permissions for the folders we create.
bool makeFolders(const std::string& path) {
    for (std::size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos != path.size() && path[pos] != '/') continue;
        std::string prefix = path.substr(0, pos);
        if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool readWhole(int fd, std::string& out) {
    char buf[65536];
    out.clear();
    while (true) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        out.append(buf, std::size_t(n));
    }
}

bool writeWhole(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += std::size_t(n);
    }
    return true;
}

// Writes `text` to `path` by way of `path`.tmp and one rename, so that the old file stays whole
// until the new one is complete on disk. Returns 0 or errno.
int replaceFile(const std::string& path, const std::string& text) {
    std::string tmp = path + ".tmp";
    if (int e = refused(HiveStep::OpenTemp)) return e;
    int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return errno;
    int err = 0;
    auto step = [&](HiveStep s, bool ok) {
        if (err) return;
        if (int e = refused(s))
            err = e;
        else if (!ok)
            err = errno ? errno : EIO;
    };
    errno = 0;
    step(HiveStep::Write, fchmod(fd, 0600) == 0 && writeWhole(fd, text));
    if (!err) step(HiveStep::Sync, fsync(fd) == 0);
    step(HiveStep::Close, close(fd) == 0);
    if (!err) step(HiveStep::Rename, rename(tmp.c_str(), path.c_str()) == 0);
    if (err) {
        unlink(tmp.c_str());
        return err;
    }
    // The rename is on the disk only when the folder is: a change that a power cut could still undo
    // is said, not taken for stored.
    std::string folder = path.substr(0, path.rfind('/'));
    int dfd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0) return errno;
    step(HiveStep::SyncFolder, fsync(dfd) == 0);
    close(dfd);
    return err;
}

// A file replaced twice within one tick of the file system's clock can come back with the same
// size, time and even inode number; a hive that changed that recently is read again every time.
bool changedRecently(const timespec& mtime) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_sec - mtime.tv_sec < 2;
}

class FileLock {
public:
    explicit FileLock(const std::string& path) {
        fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            error_ = errno;
            return;
        }
        while (flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                error_ = errno;
                break;
            }
        }
    }
    ~FileLock() {
        if (fd_ >= 0) close(fd_); // closing releases the lock
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    int error() const { return error_; }

private:
    int fd_ = -1;
    int error_ = 0;
};

// Keeps `text` as <path>.corrupt, or <path>.corrupt.2, .3 ... when earlier copies exist: each
// damaged hive is kept, none replaces another. The copy appears whole under its name (link of a
// finished temporary file), and link never replaces an existing file.
int keepNumberedCopy(const std::string& path, const std::string& text) {
    std::string tmp = path + ".corrupt.tmp";
    if (int e = replaceFile(tmp, text)) return e;
    int err = 0;
    for (int n = 1;; ++n) {
        std::string name = path + ".corrupt" + (n == 1 ? std::string() : "." + std::to_string(n));
        if (link(tmp.c_str(), name.c_str()) == 0) break;
        if (errno != EEXIST) {
            err = errno;
            break;
        }
    }
    unlink(tmp.c_str());
    return err;
}

} // namespace

void setHiveStepHook(std::function<int(HiveStep)> hook) {
    stepHook() = std::move(hook);
}

std::string registryFolder() {
    // The XDG rule: only an absolute XDG_CONFIG_HOME counts.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base = (xdg && xdg[0] == '/') ? std::string(xdg) : homeFolder() + "/.config";
    return base + "/dorvane/registry";
}

long HiveFile::keepDamagedCopy(const std::string& path) {
    int in = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return errno == ENOENT ? 0 : errorFromErrno(errno);
    std::string text;
    bool ok = readWhole(in, text);
    close(in);
    if (!ok) return ERROR_READ_FAULT;
    if (int e = keepNumberedCopy(path, text)) return errorFromErrno(e);
    return 0;
}

bool HiveFile::Identity::operator==(const Identity& o) const {
    return exists == o.exists && dev == o.dev && ino == o.ino && size == o.size &&
           mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec;
}

std::string HiveFile::filePath() const {
    return registryFolder() + "/" + rootName_ + ".reg";
}

const HiveKey& HiveFile::current() {
    refresh();
    return root_;
}

void HiveFile::refresh() {
    std::string path = filePath();
    Identity now;
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        now = Identity{true, st.st_dev, st.st_ino, st.st_size, st.st_mtim};
    }
    if (path == loadedPath_ && now == loaded_ && !racy_) return;

    ParsedHive parsed;
    parsed.root.name = rootName_;
    bool unreadable = false;
    if (now.exists) {
        std::string text;
        int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0 && readWhole(fd, text))
            parsed = parseHive(text, rootName_);
        else
            unreadable = true;
        if (fd >= 0) close(fd);
    }
    root_ = std::move(parsed.root);
    damaged_ = parsed.damaged;
    unreadable_ = unreadable;
    loadedPath_ = path;
    loaded_ = now;
    racy_ = now.exists && changedRecently(now.mtime);
}

long HiveFile::save(const std::string& path) {
    if (damaged_) {
        // Keep what could not be read before the hive is rewritten without it.
        if (long rc = keepDamagedCopy(path)) return rc;
    }
    if (int e = replaceFile(path, formatHive(root_, rootName_))) return errorFromErrno(e);
    damaged_ = false;
    struct stat st;
    if (stat(path.c_str(), &st) == 0) loaded_ = Identity{true, st.st_dev, st.st_ino, st.st_size, st.st_mtim};
    racy_ = true;
    return 0;
}

long HiveFile::modify(const Change& change) {
    std::string folder = registryFolder();
    if (int e = refused(HiveStep::Folder)) return errorFromErrno(e);
    if (!makeFolders(folder)) return errorFromErrno(errno);
    if (int e = refused(HiveStep::Lock)) return errorFromErrno(e);
    FileLock lock(folder + "/" + rootName_ + ".reg.lock");
    if (lock.error()) return errorFromErrno(lock.error());

    refresh(); // another process may have changed the hive since we last looked
    if (unreadable_) return ERROR_ACCESS_DENIED; // never overwrite a hive we could not read
    HiveKey before = root_;
    bool changed = false;
    long rc = change(root_, changed);
    if (rc != 0 || !changed) {
        if (rc != 0) root_ = std::move(before);
        return rc;
    }
    rc = save(loadedPath_);
    if (rc != 0) root_ = std::move(before);
    return rc;
}

} // namespace winreg
