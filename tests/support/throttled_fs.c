/* A Linux FUSE file system that behaves like one slow disk, for the tests:
   it passes every call through to a backing folder, and charges each read
   and write the time that a disk of the given rate takes for its bytes,
   plus a seek whenever a request does not continue where the previous one
   on this disk ended. It reports the given capacity, with what the backing
   folder's files take counted as used, and a write past it fails with
   ENOSPC. One process serves one disk, one request at a time, as one disk
   arm would; two mounts are two disks, and a rename between them fails with
   EXDEV. Built natively (not for Windows); the tests start it through Wine.
     throttled_fs [--unreadable-from <offset>] <mount point> <backing folder>
                  <bytes/s> <seek ms> <capacity bytes> [<log file, an absolute path>]
   With --unreadable-from the disk is mounted read-only, and any read that
   reaches past the offset of a file fails with EIO, as a scratched CD's
   sectors fail after the drive's retries.
   The log receives one line per call, tab-separated: its start and end
   (seconds of CLOCK_MONOTONIC, shared by every process of the machine), the
   call, the path, then the second path of a rename or the offset and byte
   count of a read or write. It mounts, then goes into the background;
   umount ends it. */
#define FUSE_USE_VERSION 31
#define _GNU_SOURCE
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <ftw.h>
#include <fuse.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

static char backing[PATH_MAX];
static double rate;   /* bytes per second */
static double seek;   /* seconds */
static long long capacity;
static FILE* logFile;
static off_t unreadable = -1; /* -1: every byte reads */
/* Where the previous read or write of this disk ended. */
static ino_t lastFile;
static off_t lastEnd = -1;

static double Now(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

static void Log(double start, const char* call, const char* path, const char* extra)
{
    if (logFile == NULL)
        return;
    fprintf(logFile, "%.6f\t%.6f\t%s\t%s\t%s\n", start, Now(), call, path, extra);
    fflush(logFile);
}

/* The backing path of `path` ("/..." inside the mount). */
static const char* Backing(const char* path, char* out)
{
    snprintf(out, PATH_MAX, "%s%s", backing, path);
    return out;
}

/* Sleeps as long as the disk takes for `size` bytes at `offset` of `file`. */
static void Charge(int file, off_t offset, size_t size)
{
    struct stat st;
    ino_t inode = fstat(file, &st) == 0 ? st.st_ino : 0;
    double cost = size / rate;
    if (inode != lastFile || offset != lastEnd)
        cost += seek;
    lastFile = inode;
    lastEnd = offset + (off_t)size;
    struct timespec t = { (time_t)cost, (long)((cost - (time_t)cost) * 1e9) };
    nanosleep(&t, NULL);
}

static long long used;

static int AddUse(const char* path, const struct stat* st, int kind, struct FTW* where)
{
    (void)path;
    (void)kind;
    (void)where;
    used += (long long)st->st_blocks * 512;
    return 0;
}

/* What the backing folder's files take, in bytes of whole blocks. */
static long long Used(void)
{
    used = 0;
    nftw(backing, AddUse, 16, FTW_PHYS);
    return used;
}

/* What a call returns: 0, or -errno when it failed. */
static int Result(int succeeded)
{
    return succeeded ? 0 : -errno;
}

/* Logs a call that began at `start` and returns its `result`. */
static int Logged(double start, const char* call, const char* path, const char* extra, int result)
{
    Log(start, call, path, extra);
    return result;
}

static int GetAttributes(const char* path, struct stat* st, struct fuse_file_info* info)
{
    char b[PATH_MAX];
    if (info != NULL)
        return Result(fstat(info->fh, st) == 0);
    return Result(lstat(Backing(path, b), st) == 0);
}

static int ReadFolder(const char* path, void* buffer, fuse_fill_dir_t fill, off_t offset,
                      struct fuse_file_info* info, enum fuse_readdir_flags flags)
{
    char b[PATH_MAX];
    (void)offset;
    (void)info;
    (void)flags;
    DIR* folder = opendir(Backing(path, b));
    if (folder == NULL)
        return -errno;
    for (struct dirent* entry; (entry = readdir(folder)) != NULL;)
        fill(buffer, entry->d_name, NULL, 0, 0);
    closedir(folder);
    return 0;
}

static int MakeFolder(const char* path, mode_t mode)
{
    char b[PATH_MAX];
    double start = Now();
    return Logged(start, "mkdir", path, "", Result(mkdir(Backing(path, b), mode) == 0));
}

static int RemoveFolder(const char* path)
{
    char b[PATH_MAX];
    double start = Now();
    return Logged(start, "rmdir", path, "", Result(rmdir(Backing(path, b)) == 0));
}

static int Create(const char* path, mode_t mode, struct fuse_file_info* info)
{
    char b[PATH_MAX];
    double start = Now();
    int file = open(Backing(path, b), info->flags, mode);
    info->fh = file;
    return Logged(start, "create", path, "", Result(file >= 0));
}

static int Open(const char* path, struct fuse_file_info* info)
{
    char b[PATH_MAX];
    int file = open(Backing(path, b), info->flags);
    info->fh = file;
    return Result(file >= 0);
}

static int Release(const char* path, struct fuse_file_info* info)
{
    (void)path;
    close(info->fh);
    return 0;
}

static int Read(const char* path, char* buffer, size_t size, off_t offset, struct fuse_file_info* info)
{
    char extra[64];
    double start = Now();
    /* The kernel reads whole pages: a request that reaches the bad part
       fails whole, and what lies before it reads as before. */
    if (unreadable >= 0 && offset + (off_t)size > unreadable) {
        snprintf(extra, sizeof extra, "%lld\t%zu", (long long)offset, size);
        return Logged(start, "read", path, extra, -EIO);
    }
    ssize_t got = pread(info->fh, buffer, size, offset);
    int result = got < 0 ? -errno : (int)got;
    if (got > 0)
        Charge(info->fh, offset, got);
    snprintf(extra, sizeof extra, "%lld\t%zd", (long long)offset, got);
    return Logged(start, "read", path, extra, result);
}

static int Write(const char* path, const char* buffer, size_t size, off_t offset,
                 struct fuse_file_info* info)
{
    char extra[64];
    struct stat st;
    double start = Now();
    snprintf(extra, sizeof extra, "%lld\t%zu", (long long)offset, size);
    if (fstat(info->fh, &st) != 0)
        return Logged(start, "write", path, extra, -errno);
    /* Bytes past the file's end take room (a hole written into is not counted). */
    off_t end = offset + (off_t)size;
    long long growth = end > st.st_size ? end - (offset > st.st_size ? offset : st.st_size) : 0;
    if (growth > 0 && Used() + growth > capacity)
        return Logged(start, "write", path, extra, -ENOSPC);
    ssize_t written = pwrite(info->fh, buffer, size, offset);
    int result = written < 0 ? -errno : (int)written;
    if (written > 0)
        Charge(info->fh, offset, written);
    return Logged(start, "write", path, extra, result);
}

static int Truncate(const char* path, off_t size, struct fuse_file_info* info)
{
    char b[PATH_MAX];
    char extra[32];
    double start = Now();
    snprintf(extra, sizeof extra, "%lld", (long long)size);
    if (info != NULL)
        return Logged(start, "truncate", path, extra, Result(ftruncate(info->fh, size) == 0));
    return Logged(start, "truncate", path, extra, Result(truncate(Backing(path, b), size) == 0));
}

static int Remove(const char* path)
{
    char b[PATH_MAX];
    double start = Now();
    return Logged(start, "unlink", path, "", Result(unlink(Backing(path, b)) == 0));
}

static int Rename(const char* from, const char* to, unsigned int flags)
{
    char b[PATH_MAX], c[PATH_MAX];
    double start = Now();
    int result = Result(renameat2(AT_FDCWD, Backing(from, b), AT_FDCWD, Backing(to, c), flags) == 0);
    return Logged(start, "rename", from, to, result);
}

/* A flush goes through to the backing file: what the disk holds is there. */
static int Flush(const char* path, int dataOnly, struct fuse_file_info* info)
{
    double start = Now();
    int result = Result((dataOnly ? fdatasync(info->fh) : fsync(info->fh)) == 0);
    return Logged(start, "fsync", path, "", result);
}

static int Statistics(const char* path, struct statvfs* st)
{
    (void)path;
    if (statvfs(backing, st) != 0)
        return -errno;
    long long left = capacity - Used();
    st->f_bsize = st->f_frsize = 4096;
    st->f_blocks = capacity / 4096;
    st->f_bfree = st->f_bavail = left > 0 ? left / 4096 : 0;
    return 0;
}

static int SetTimes(const char* path, const struct timespec times[2], struct fuse_file_info* info)
{
    char b[PATH_MAX];
    (void)info;
    return Result(utimensat(AT_FDCWD, Backing(path, b), times, AT_SYMLINK_NOFOLLOW) == 0);
}

static int SetMode(const char* path, mode_t mode, struct fuse_file_info* info)
{
    char b[PATH_MAX];
    (void)info;
    return Result(chmod(Backing(path, b), mode) == 0);
}

/* The kernel keeps no file's pages from one open to the next (FUSE's
   default), so every read of a file opened anew reaches the disk. */
static const struct fuse_operations operations = {
    .getattr = GetAttributes,
    .readdir = ReadFolder,
    .mkdir = MakeFolder,
    .rmdir = RemoveFolder,
    .create = Create,
    .open = Open,
    .release = Release,
    .read = Read,
    .write = Write,
    .truncate = Truncate,
    .unlink = Remove,
    .rename = Rename,
    .fsync = Flush,
    .statfs = Statistics,
    .utimens = SetTimes,
    .chmod = SetMode,
};

int main(int argc, char** argv)
{
    if (argc > 2 && strcmp(argv[1], "--unreadable-from") == 0) {
        unreadable = atoll(argv[2]);
        argv[2] = argv[0];
        argv += 2;
        argc -= 2;
    }
    if (argc != 6 && argc != 7) {
        fprintf(stderr, "usage: %s [--unreadable-from <offset>] <mount point> <backing folder> <bytes/s> "
                        "<seek ms> <capacity bytes> [<log>]\n",
                argv[0]);
        return 2;
    }
    if (realpath(argv[2], backing) == NULL)
        return 1;
    rate = atof(argv[3]);
    seek = atof(argv[4]) / 1000;
    capacity = atoll(argv[5]);
    if (rate <= 0 || capacity <= 0)
        return 2;
    if (argc == 7 && (logFile = fopen(argv[6], "a")) == NULL)
        return 1;
    /* -s: one request at a time, as one disk serves them. */
    char* arguments[] = { argv[0], "-s", "-o", unreadable >= 0 ? "ro" : "rw", argv[1], NULL };
    return fuse_main(5, arguments, &operations, NULL);
}
