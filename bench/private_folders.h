#pragma once
// A benchmark's settings, data and home in a temporary folder of its own: a run never reads or
// writes the user's files.
#include <QTemporaryDir>
#include <QtGlobal>

namespace bench {

inline void usePrivateFolders(const QTemporaryDir& dir) {
    qputenv("HOME", dir.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", dir.filePath("data").toUtf8());
}

} // namespace bench
