#pragma once
// One root of the registry kept in a text file (hive_text.h) under the user's configuration folder:
// $XDG_CONFIG_HOME/dorvane/registry/<ROOT>.reg (~/.config when XDG_CONFIG_HOME is not set).
//
// Several processes may use the same hives. Every change is made under an exclusive lock on
// <ROOT>.reg.lock, on the hive as it is in the file at that moment, and written to a temporary file
// that replaces the hive in one rename; readers therefore never see half a file and need no lock.
// Whenever the file was replaced since it was last read, it is read again.
#include "hive_tree.h"

#include <ctime>
#include <functional>
#include <string>
#include <sys/types.h>

namespace winreg {

// The folder the hives live in, from the environment at the time of the call.
std::string registryFolder();

// The steps of writing a hive, each of which a disk can refuse.
enum class HiveStep { Folder, Lock, OpenTemp, Write, Sync, Close, Rename, SyncFolder };

// For tests: asked before each step; the errno it returns (ENOSPC, EIO, EACCES ...) makes the step
// fail as the disk would have, 0 lets it run. No hook: every step runs.
void setHiveStepHook(std::function<int(HiveStep)> hook);

class HiveFile {
public:
    explicit HiveFile(std::string rootName) : rootName_(std::move(rootName)) { root_.name = rootName_; }

    // The hive as the file holds it now.
    const HiveKey& current();

    // Runs `change` on the hive under the lock. `change` returns a Win32 error code and sets
    // `changed` when it altered the tree; only then is the file rewritten. When the file cannot be
    // written, the tree is put back as it was and the error code is returned.
    using Change = std::function<long(HiveKey& root, bool& changed)>;
    long modify(const Change& change);

    const std::string& rootName() const { return rootName_; }

private:
    struct Identity {
        bool exists = false;
        dev_t dev = 0;
        ino_t ino = 0;
        off_t size = 0;
        timespec mtime{};
        bool operator==(const Identity& o) const;
    };

    std::string filePath() const;
    void refresh();
    long save(const std::string& path);
    long keepDamagedCopy(const std::string& path);

    std::string rootName_;
    HiveKey root_;
    std::string loadedPath_;
    Identity loaded_;
    bool damaged_ = false;    // the file held something we could not read
    bool unreadable_ = false; // the file exists but could not be read at all
    bool racy_ = false;       // changed too recently for its identity to tell a later change apart
};

} // namespace winreg
