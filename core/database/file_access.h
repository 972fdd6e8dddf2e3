// Opening files to read, and replacing files so that nothing is ever lost:
// every file the kit writes goes through the writer here.
#pragma once

#include <cstddef>
#include <cstdio>

// Opens path for reading only when it is a regular file. The open itself
// never blocks (a FIFO is refused, not waited for); nullptr when the file
// cannot be opened or is a folder, FIFO, device or socket.
FILE *openRegularFile(const char *path);

// The same as a file descriptor, -1 on failure.
int openRegularDescriptor(const char *path);

// A file being written: bytes go to a hidden temporary file in the target's
// folder, which replaces the target only when finishWrite succeeds.
constexpr int WRITE_PATH_SIZE = 4096;

struct FileWrite {
    int fd;                             // the temporary file, -1 when none
    bool anonymous;                     // opened with O_TMPFILE: no name yet
    char target[WRITE_PATH_SIZE];       // the file replaced: links followed
    char temporary[WRITE_PATH_SIZE];    // the temporary file's name, when it has one
    int mode;                           // permissions the new file gets
};

// Starts writing path. Fails (-1) when path is write-protected, is not a
// regular file, or no temporary file can be made beside it; 0 otherwise.
// A symbolic link is followed: the file it points at is replaced, the link stays.
int beginWrite(FileWrite *write, const char *path);

// Writes all of size bytes to the temporary file; -1 on any failure.
int writeAll(FileWrite *write, const void *bytes, size_t size);

// Makes the temporary file durable and puts it in the target's place; the
// folder is synced too. -1 when anything fails: the target is then as it
// was and the temporary file is gone. The descriptor is closed either way.
int finishWrite(FileWrite *write);

// Gives up a write: the temporary file is removed, the target untouched.
void abandonWrite(FileWrite *write);

// Replaces path by the given bytes in one step: 0 when written, -1 otherwise.
int writeWholeFile(const char *path, const void *bytes, size_t size);
