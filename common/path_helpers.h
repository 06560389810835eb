// Joining and splitting ANSI paths, aware of double-byte characters.
// Pure code: no Windows headers. Every output has a known capacity; a result
// that would not fit is reported as failure, never written past the buffer.
#ifndef COMMON_PATH_HELPERS_H
#define COMMON_PATH_HELPERS_H

// A path buffer of the program: a zero-terminated ANSI path.
const unsigned int PATH_BUFFER_SIZE = 270;
// The longest path that the file calls of every platform take, in bytes
// without its terminating zero (MAX_PATH less one): Windows refuses longer
// ANSI paths, where Wine takes them.
const unsigned int FILE_CALL_PATH_MAX = 259;
// Buffers for the parts that SplitPath produces.
const unsigned int PATH_DRIVE_SIZE = 3;   // "C:" and terminator
const unsigned int PATH_PART_SIZE = 256;  // 255 bytes and terminator
const unsigned int PATH_PART_MAX = 255;

// Whether the last character of `text` (not its last byte, which may be the
// trail byte of a double-byte character) is '\' or '/'. False when empty.
bool EndsWithSeparator(const char* text);

// Copies the folder `folder` into `out` (capacity `outSize`) without a
// separator at its end, but for a drive's root ("C:\"), which keeps it:
// the form in which every platform takes a folder's name. False, with `out`
// empty, when it does not fit.
bool CopyBareFolder(char* out, unsigned int outSize, const char* folder);

// Whether two paths lie on one volume, as far as their drive letters tell
// (paths without one, on a network share, never do).
bool OnOneVolume(const char* a, const char* b);

// Whether `path` is short enough for a file call (FILE_CALL_PATH_MAX).
bool FitsFileCall(const char* path);

// Joins drive, directory, name and extension into `out` (capacity `outSize`).
// Any part may be null or empty. A directory that does not end in '\' or '/'
// (judged by its last character, not its last byte) gets a '\'. An extension
// without a leading '.' gets one. `out` must not overlap the parts.
// Returns false and leaves `out` empty when the result does not fit.
bool MakePath(char* out, unsigned int outSize, const char* drive, const char* dir,
              const char* name, const char* ext);

// Splits `path` into drive (PATH_DRIVE_SIZE), directory with its trailing
// separator, base name and extension with its '.' (PATH_PART_SIZE each). Any
// output may be null. A part longer than 255 bytes is cut at 255 bytes; the
// result is then false, so callers can treat the path as unusable.
bool SplitPath(const char* path, char* drive, char* dir, char* name, char* ext);

#endif
