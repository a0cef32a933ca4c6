#pragma once
// For tests: every database file the process opens goes through a file layer of SQLite's (a VFS
// wrapping the system's own) that can make one chosen file operation fail, as a failing disk, a
// full disk or another program holding a lock would. Tests count a change's operations once, then
// run it again with a failure at each of them in turn.
#include <functional>

namespace dao::testing {

enum class Fault {
    IoError,  // a read, write, sync or truncate fails with an I/O error
    DiskFull, // a write or a truncate finds the disk full
    Busy,     // a lock cannot be had: another program holds it
};

const char* faultName(Fault fault);
// The words the data layer's message for such a failure holds, as the user reads them.
const char* wordsForFault(Fault fault);

// Becomes the default file layer of SQLite in this process (once; later calls do nothing). Files
// already open keep the layer they were opened with.
void installFaultyFiles();

// The operations of the kind `fault` fails, counted from now; none fails.
void countOperations(Fault fault);
long operationsCounted();
// The `nth` operation (1-based) of the kind `fault` fails from now, once; then all succeed again.
void failOperation(Fault fault, long nth);
// No more failures, no counting.
void stopFaults();
// How many failures were made since the process started.
long failuresMade();

} // namespace dao::testing
