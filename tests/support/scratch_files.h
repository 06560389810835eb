// Files and folders for tests: scratch folders in the prefix, file contents.
#ifndef TESTS_SUPPORT_SCRATCH_FILES_H
#define TESTS_SUPPORT_SCRATCH_FILES_H

#include <string>

// A fresh empty folder "C:\tolvane-tests\<name>" (removed first if present).
std::string MakeScratchFolder(const std::string& name);
// Folder of the running test program, ending in '\'.
std::string TestProgramFolder();

bool WriteFileBytes(const std::string& path, const std::string& bytes);
// Contents of a file; `ok` false when it cannot be read.
std::string ReadFileBytes(const std::string& path, bool* ok = nullptr);
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
// The file's index on its volume (a rename keeps it, a copy gets another);
// 0 when it cannot be read.
unsigned long long FileIdentity(const std::string& path);
void RemoveTree(const std::string& path);
bool MakeFolder(const std::string& path);
// Nested folders below `base` whose path is exactly `length` bytes long.
std::string MakeDeepFolder(const std::string& base, size_t length);
// Names (not paths) of the entries of a folder, "." and ".." left out.
std::string ListFolder(const std::string& path);

// Wine only: the same folder or file reached through drive Z:, which Wine
// maps onto the Unix root: a second path to one file, as a SUBST or mapped
// drive gives on Windows. Empty when the Unix path cannot be found.
std::string AliasThroughDriveZ(const std::string& path);
// Wine only: a Unix symbolic link `link` to the folder `target` (both Windows
// paths), which Wine shows as a directory with a reparse point, as Windows
// shows a junction. True when the link exists afterwards.
bool MakeFolderLink(const std::string& link, const std::string& target);
// Removes such a link (Wine's own calls cannot); true when it is gone.
bool RemoveFolderLink(const std::string& link);
// Wine only: makes drive letter `drive` ("T:") a drive whose root is
// `folder`, as SUBST does on Windows; UnmapDrive removes it again.
bool MapDrive(const std::string& drive, const std::string& folder);
bool UnmapDrive(const std::string& drive);
// Wine on Linux as root only: mounts a memory disk of `kilobytes` over the
// existing `folder`, so that writes there run out of space. False when the
// mount was refused.
bool MountSmallDisk(const std::string& folder, unsigned int kilobytes);
// How a throttled disk behaves (tests/support/throttled_fs.c).
struct DiskModel {
    unsigned long long capacity;  // bytes; what its files take counts as used
    unsigned long rate;           // bytes read or written a second
    unsigned int seekMs;          // for a request that does not continue the previous one
    // Not 0: the disk is read-only, and a read that reaches past this byte of
    // a file fails, as a damaged CD's sectors do.
    unsigned long long unreadableFrom = 0;
};
// Wine on Linux as root, with FUSE: mounts over the existing `folder` a slow
// disk as `model` says, whose files are those of the existing folder
// `backing`, logging its calls into the file `log` when one is named (one
// line each: start, end, call, path, and the second path or offset and
// size, tab-separated). False when it could not be mounted.
bool MountThrottledDisk(const std::string& folder, const std::string& backing, const DiskModel& model,
                        const std::string& log = "");
// Takes away either kind of disk from `folder`, also one that a program
// still uses; true when the folder shows its own files again.
bool UnmountDisk(const std::string& folder);

// Wine only: the Unix path of a Windows path (ASCII paths only), and a Unix
// shell command run to its end (at most 10 s); true when it exited with 0.
std::string UnixPathOf(const std::string& path);
bool RunUnixShell(const std::string& command);
// Wine on Linux as root, with FUSE: puts in place of `file` one whose bytes
// read as before up to `offset`, where reading fails as a damaged CD's
// sectors do; the file itself is kept aside in `aside` (a folder of its
// own, which also holds the disk it is read through). MakeReadableAgain puts
// it back.
bool MakeUnreadableFrom(const std::string& file, unsigned long offset, const std::string& aside);
bool MakeReadableAgain(const std::string& file, const std::string& aside);
// Wine as a user other than root: takes away or gives back the Unix write
// permission of a folder, which Wine then honours.
bool SetUnixWritable(const std::string& folder, bool writable);

#endif
