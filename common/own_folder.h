// The folder the updater was started from: the source of every staged file.
#ifndef COMMON_OWN_FOLDER_H
#define COMMON_OWN_FOLDER_H

// Writes the drive and directory of the running executable, ending in a
// separator (e.g. "C:\Temp\Upd\"), into `out` of `outSize` bytes. Fails,
// leaving `out` empty, when the module name or the result does not fit.
bool GetOwnFolder(char* out, unsigned int outSize);

#endif
