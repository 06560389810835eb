/* A Linux FUSE file system of one read-only file, for the tests: its bytes
   are those of a backing file up to an offset, and any read that reaches
   past the offset fails with EIO, as a scratched CD's sectors fail after the
   drive's retries. Built natively (not for Windows); the Windows tests start
   it through Wine, which runs Unix programs too.
     read_error_fs <mount point> <backing file> <offset> <name>
   It mounts, then goes into the background; umount ends it. */
#define FUSE_USE_VERSION 31
#include <errno.h>
#include <fcntl.h>
#include <fuse.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static const char* backing;
static const char* name;
static off_t unreadable;

static int IsTheFile(const char* path)
{
    return path[0] == '/' && strcmp(path + 1, name) == 0;
}

static int GetAttributes(const char* path, struct stat* st, struct fuse_file_info* info)
{
    struct stat source;
    (void)info;
    memset(st, 0, sizeof *st);
    if (strcmp(path, "/") == 0) {
        st->st_mode = S_IFDIR | 0755;
        st->st_nlink = 2;
        return 0;
    }
    if (!IsTheFile(path))
        return -ENOENT;
    if (stat(backing, &source) != 0)
        return -errno;
    st->st_mode = S_IFREG | 0444;
    st->st_nlink = 1;
    st->st_size = source.st_size;
    st->st_mtime = source.st_mtime;
    return 0;
}

static int ReadFolder(const char* path, void* buffer, fuse_fill_dir_t fill, off_t offset,
                      struct fuse_file_info* info, enum fuse_readdir_flags flags)
{
    (void)offset;
    (void)info;
    (void)flags;
    if (strcmp(path, "/") != 0)
        return -ENOENT;
    fill(buffer, ".", NULL, 0, 0);
    fill(buffer, "..", NULL, 0, 0);
    fill(buffer, name, NULL, 0, 0);
    return 0;
}

static int Open(const char* path, struct fuse_file_info* info)
{
    if (!IsTheFile(path))
        return -ENOENT;
    return (info->flags & O_ACCMODE) == O_RDONLY ? 0 : -EACCES;
}

static int Read(const char* path, char* buffer, size_t size, off_t offset, struct fuse_file_info* info)
{
    (void)path;
    (void)info;
    /* The kernel reads whole pages: a request that reaches the bad part
       fails whole, and what lies before it reads as before. */
    if (offset + (off_t)size > unreadable)
        return -EIO;
    int file = open(backing, O_RDONLY);
    if (file < 0)
        return -errno;
    ssize_t got = pread(file, buffer, size, offset);
    close(file);
    return got < 0 ? -errno : (int)got;
}

static const struct fuse_operations operations = {
    .getattr = GetAttributes,
    .readdir = ReadFolder,
    .open = Open,
    .read = Read,
};

int main(int argc, char** argv)
{
    if (argc != 5) {
        fprintf(stderr, "usage: %s <mount point> <backing file> <offset> <name>\n", argv[0]);
        return 2;
    }
    backing = realpath(argv[2], NULL);
    unreadable = atoll(argv[3]);
    name = argv[4];
    if (backing == NULL)
        return 1;
    char* arguments[] = { argv[0], "-o", "ro", argv[1], NULL };
    return fuse_main(4, arguments, &operations, NULL);
}
