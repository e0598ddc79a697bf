#pragma once
// Not part of the program's interface: the system calls under PosixFile, replaced by tests
// alone. A fault at this level (a full disk, a failing flush) reaches the data file, the
// settings file and every other writer through PosixFile, so one seam here serves them all.
#include <sys/types.h>

#include <cstddef>

namespace qel {

// The system's write call; a test replaces it to fill the disk at a chosen byte.
// nullptr restores the real one.
using FileWriteCall = ssize_t (*)(int fd, const void* data, std::size_t size);
void SetFileWriteCall(FileWriteCall call);
// The system's flush to stable storage (fsync), so a test can see when it is made or
// make it fail. nullptr restores the real one.
using FileSyncCall = int (*)(int fd);
void SetFileSyncCall(FileSyncCall call);

}  // namespace qel
