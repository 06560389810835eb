// The folders that the platform's file installer is given. It opens its
// source and its temporary file through a record that holds a path of at
// most 127 bytes, so a folder whose paths would be longer is given in its
// short form. Also whether two spellings name one folder.
#ifndef INSTALL_COPY_STEP_PATHS_H
#define INSTALL_COPY_STEP_PATHS_H

// Writes `folder`, joined with `subfolder` when that is not 0, into the path
// buffer `out`, in a form whose paths the copy step can take: as it is, or
// through the short form of `folder` (which must exist). False when neither
// form fits.
bool MakeCopyStepFolder(const char* folder, const char* subfolder, char* out);

// Whether `a` and `b` name one folder, compared as they are written (with
// or without a trailing separator) and in their short forms, since either
// may be the one registered or started from.
bool IsSameFolder(const char* a, const char* b);

#endif
