// Removing files of the updater's own from a folder: everything in a work
// folder, and the temporary files that the platform's file installer leaves
// where it was stopped or failed.
#ifndef INSTALL_FOLDER_SWEEP_H
#define INSTALL_FOLDER_SWEEP_H

// Removes every file of the work folder `folder` but a copy that waits for
// the restart (its subfolders stay).
void EmptyWorkFolder(const char* folder);

// Removes the file installer's temporary files from `folder`: named "VER",
// one to four hexadecimal digits and ".TMP", and plain (the installer never
// makes one read-only, hidden or system). Only installers put such files in
// an installation folder; the system folder, where others may still need
// theirs, is never swept.
void RemoveInstallerTempFiles(const char* folder);

#endif
