// The builds of the main executable that this update may replace.
#ifndef DETECT_ACCEPTED_VERSIONS_H
#define DETECT_ACCEPTED_VERSIONS_H

#include "common/path_helpers.h"

const unsigned int VERSION_TEXT_SIZE = 66;

// One accepted build: the file-version string exactly as the version
// resource writes it, and the required file size (0: any size).
struct AcceptedVersion {
    char fileName[PATH_BUFFER_SIZE];  // "TOLVANE.EXE"; the first row's is used for every lookup
    char version[VERSION_TEXT_SIZE];
    unsigned int size;
};

const unsigned int ACCEPTED_VERSION_COUNT = 33;

// In scan order. "1, 9, 2, 0" stands twice, for two builds of different
// sizes; the last row is this release's "3, 1, 3, 0".
extern const AcceptedVersion AcceptedVersions[ACCEPTED_VERSION_COUNT];

#endif
