// Finding the installed copy through its App Paths registration, and
// deciding from its version resource whether this update may replace it.
#ifndef DETECT_INSTALLATION_LOOKUP_H
#define DETECT_INSTALLATION_LOOKUP_H

// Fills `folder` (a path buffer of PATH_BUFFER_SIZE bytes) with the
// installation folder and returns true when an accepted copy was found.
bool LocateInstallation(char* folder);

// Tests the main executable in `folder`, then in the folder that splitting
// `folder` yields (its parent, or itself when it ends in a separator).
// When the first test fails, `folder` is rewritten to the retried folder.
// A folder that is not absolute ("C:\..." or "\\server\..."), the empty one
// included, is not an installation at either test.
bool IsAcceptedVersion(char* folder);

#endif
