// Deleting a file that the update may remove, whatever its read-only
// attribute: the installer's own copies, a data file's source once its copy
// is in place, through the update's file operations.
#ifndef COMMON_FILE_REMOVAL_H
#define COMMON_FILE_REMOVAL_H

// Deletes the file at `path`, clearing a read-only attribute first; the
// attribute comes back when the file cannot be deleted. A program that holds
// the file without sharing its deletion is waited out for up to 5 s, unless
// `waitForHolder` is false (the caller comes back to the file later). True
// when no file of that name is left (also when there was none); a folder,
// or a path whose attributes cannot be read, is never deleted and gives
// false, and so does a loaded program image (on the NT family), at once.
bool RemoveFile(const char* path, bool waitForHolder = true);

#endif
