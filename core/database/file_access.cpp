// Reading only regular files, and replacing files atomically and durably.
#include "core/database/file_access.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

constexpr int MAX_LINKS = 40;           // links followed before giving up, as the kernel does
constexpr int NAME_ATTEMPTS = 100;      // fresh temporary names tried
// Temporary names: ".twk", the writer's process number, '-' and six random
// letters; at most 18 characters, so they fit wherever the target does.
static const char TEMPORARY_PREFIX[] = ".twk";
constexpr int TEMPORARY_NAME_SIZE = 32;

int openRegularDescriptor(const char *path)
{
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(fd);
        errno = EINVAL;
        return -1;
    }
    // Reads from a regular file never wait anyway; clearing the flag keeps
    // the stream's reads ordinary.
    int flags = fcntl(fd, F_GETFL);
    if (flags >= 0)
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

FILE *openRegularFile(const char *path)
{
    int fd = openRegularDescriptor(path);
    if (fd < 0)
        return nullptr;
    FILE *file = fdopen(fd, "rb");
    if (!file)
        close(fd);
    return file;
}

// The folder part of path ("." when it has none) into folder.
static bool folderOf(const char *path, char *folder, size_t size)
{
    const char *slash = strrchr(path, '/');
    if (!slash)
        return snprintf(folder, size, ".") < static_cast<int>(size);
    if (slash == path)
        return snprintf(folder, size, "/") < static_cast<int>(size);
    int length = static_cast<int>(slash - path);
    return snprintf(folder, size, "%.*s", length, path) < static_cast<int>(size);
}

// Follows symbolic links from path to the file they end at, which need not
// exist yet; false for a loop or a name too long.
static bool resolveLinks(const char *path, char *target, size_t size)
{
    if (snprintf(target, size, "%s", path) >= static_cast<int>(size))
        return false;
    for (int step = 0; step < MAX_LINKS; step++) {
        struct stat status;
        if (lstat(target, &status) != 0 || !S_ISLNK(status.st_mode))
            return true;
        char link[WRITE_PATH_SIZE];
        ssize_t length = readlink(target, link, sizeof link - 1);
        if (length < 0)
            return false;
        link[length] = '\0';
        char next[WRITE_PATH_SIZE];
        char folder[WRITE_PATH_SIZE];
        if (link[0] == '/' || !strchr(target, '/')) {
            if (snprintf(next, sizeof next, "%s", link) >= static_cast<int>(sizeof next))
                return false;
        } else {
            if (!folderOf(target, folder, sizeof folder) ||
                snprintf(next, sizeof next, "%s/%s", folder, link) >= static_cast<int>(sizeof next))
                return false;
        }
        snprintf(target, size, "%s", next);
    }
    return false;
}

// The temporary name's pattern for this process: the prefix, the process
// number, '-' and six X's for the random letters.
static void temporaryPattern(char pattern[TEMPORARY_NAME_SIZE])
{
    snprintf(pattern, TEMPORARY_NAME_SIZE, "%s%ld-XXXXXX", TEMPORARY_PREFIX, static_cast<long>(getpid()));
}

// A fresh random name for the temporary file in folder; false when too long.
static bool randomName(const char *folder, char *name, size_t size)
{
    static const char LETTERS[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static unsigned long counter = 0;
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    unsigned long bits = static_cast<unsigned long>(now.tv_nsec) ^ (static_cast<unsigned long>(getpid()) << 20) ^
                         (++counter * 0x9E3779B97F4A7C15ul);
    char pattern[TEMPORARY_NAME_SIZE];
    temporaryPattern(pattern);
    for (char *x = strchr(pattern, 'X'); x && *x; x++) {
        *x = LETTERS[bits % (sizeof LETTERS - 1)];
        bits = bits / (sizeof LETTERS - 1) ^ (bits << 7);
    }
    return snprintf(name, size, "%s/%s", folder, pattern) < static_cast<int>(size);
}

// A writer killed in the instant between naming its file and renaming it
// leaves that file behind: the next writer in the folder removes the files
// of writers no longer running.
static void removeAbandonedFiles(const char *folder)
{
    DIR *entries = opendir(folder);
    if (!entries)
        return;
    const size_t prefix = strlen(TEMPORARY_PREFIX);
    while (struct dirent *entry = readdir(entries)) {
        const char *name = entry->d_name;
        if (strncmp(name, TEMPORARY_PREFIX, prefix) != 0)
            continue;
        char *end = nullptr;
        long pid = strtol(name + prefix, &end, 10);
        if (end == name + prefix || *end != '-' || strlen(end + 1) != 6 || pid <= 0 || pid == getpid())
            continue;
        if (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
            unlinkat(dirfd(entries), name, 0);
    }
    closedir(entries);
}

static bool writeProtected(const struct stat &status, const char *path)
{
    // Without any write permission the file stays, even for a user whom the
    // system would let replace it.
    return (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || access(path, W_OK) != 0;
}

int beginWrite(FileWrite *write, const char *path)
{
    // A file-size limit makes the write fail instead of ending the program.
    signal(SIGXFSZ, SIG_IGN);
    write->fd = -1;
    write->anonymous = false;
    write->temporary[0] = '\0';
    if (!path || !resolveLinks(path, write->target, sizeof write->target))
        return -1;
    struct stat status;
    if (lstat(write->target, &status) == 0) {
        if (!S_ISREG(status.st_mode) || writeProtected(status, write->target))
            return -1;
        write->mode = static_cast<int>(status.st_mode & 07777);
    } else {
        if (errno != ENOENT)
            return -1;
        mode_t mask = umask(0);
        umask(mask);
        write->mode = static_cast<int>(0666 & ~mask);
    }
    char folder[WRITE_PATH_SIZE];
    if (!folderOf(write->target, folder, sizeof folder) ||
        strlen(folder) + TEMPORARY_NAME_SIZE + 1 >= sizeof write->temporary)
        return -1;
    removeAbandonedFiles(folder);
    // A file without a name first: a process killed while writing leaves nothing.
    write->fd = open(folder, O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (write->fd >= 0) {
        write->anonymous = true;
    } else {
        char pattern[TEMPORARY_NAME_SIZE];
        temporaryPattern(pattern);
        snprintf(write->temporary, sizeof write->temporary, "%s/%s", folder, pattern);
        write->fd = mkstemp(write->temporary);     // O_EXCL: never an existing file or a link
        if (write->fd < 0) {
            write->temporary[0] = '\0';
            return -1;
        }
    }
    fchmod(write->fd, static_cast<mode_t>(write->mode));
    return 0;
}

int writeAll(FileWrite *write, const void *bytes, size_t size)
{
    const char *at = static_cast<const char *>(bytes);
    while (size > 0) {
        ssize_t written = ::write(write->fd, at, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return -1;
        at += written;
        size -= static_cast<size_t>(written);
    }
    return 0;
}

void abandonWrite(FileWrite *write)
{
    if (write->fd >= 0)
        close(write->fd);
    write->fd = -1;
    if (write->temporary[0])
        unlink(write->temporary);
    write->temporary[0] = '\0';
}

// Gives the anonymous file a fresh name beside the target.
static bool nameAnonymousFile(FileWrite *write)
{
    char folder[WRITE_PATH_SIZE];
    char self[64];
    if (!folderOf(write->target, folder, sizeof folder))
        return false;
    snprintf(self, sizeof self, "/proc/self/fd/%d", write->fd);
    for (int attempt = 0; attempt < NAME_ATTEMPTS; attempt++) {
        if (!randomName(folder, write->temporary, sizeof write->temporary))
            break;
        if (linkat(AT_FDCWD, self, AT_FDCWD, write->temporary, AT_SYMLINK_FOLLOW) == 0)
            return true;
        if (errno != EEXIST)
            break;
    }
    write->temporary[0] = '\0';
    return false;
}

int finishWrite(FileWrite *write)
{
    if (write->fd < 0)
        return -1;
    if (fsync(write->fd) != 0 || (write->anonymous && !nameAnonymousFile(write))) {
        abandonWrite(write);
        return -1;
    }
    int closed = close(write->fd);
    write->fd = -1;
    if (closed != 0 || rename(write->temporary, write->target) != 0) {
        abandonWrite(write);
        return -1;
    }
    write->temporary[0] = '\0';
    // The new name is durable only once the folder is.
    char folder[WRITE_PATH_SIZE];
    folderOf(write->target, folder, sizeof folder);
    int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    int synced = fsync(fd) == 0 || errno == EINVAL;
    close(fd);
    return synced ? 0 : -1;
}

int writeWholeFile(const char *path, const void *bytes, size_t size)
{
    FileWrite write;
    if (beginWrite(&write, path) != 0)
        return -1;
    if (writeAll(&write, bytes, size) != 0) {
        abandonWrite(&write);
        return -1;
    }
    return finishWrite(&write);
}
