// The accepted-version table: versions 1.82 to 3.12, some tied to an exact
// size, and this release's own 3.13 so that a stopped update can be finished.
#include "detect/accepted_versions.h"

const AcceptedVersion AcceptedVersions[ACCEPTED_VERSION_COUNT] = {
    { "TOLVANE.EXE", "1, 8, 2, 0", 0 },
    { "TOLVANE.EXE", "1, 8, 3, 0", 0 },
    { "TOLVANE.EXE", "1, 8, 4, 0", 0 },
    { "TOLVANE.EXE", "1, 8, 5, 0", 0 },
    { "TOLVANE.EXE", "1, 8, 6, 0", 0 },
    { "TOLVANE.EXE", "1, 8, 7, 0", 0 },
    { "TOLVANE.EXE", "1, 8, 8, 0", 0 },
    { "TOLVANE.EXE", "1, 8, 9, 0", 0 },
    { "TOLVANE.EXE", "1, 9, 0, 0", 0 },
    { "TOLVANE.EXE", "1, 9, 1, 0", 0 },
    { "TOLVANE.EXE", "1, 9, 2, 0", 3277824 },
    { "TOLVANE.EXE", "1, 9, 2, 0", 3278336 },
    { "TOLVANE.EXE", "1, 9, 3, 0", 4102144 },
    { "TOLVANE.EXE", "1, 9, 4, 0", 0 },
    { "TOLVANE.EXE", "1, 9, 5, 0", 4186624 },
    { "TOLVANE.EXE", "1, 9, 6, 0", 4230656 },
    { "TOLVANE.EXE", "1, 9, 7, 0", 4239360 },
    { "TOLVANE.EXE", "1, 9, 8, 0", 0 },
    { "TOLVANE.EXE", "1, 9, 9, 0", 4272128 },
    { "TOLVANE.EXE", "2, 0, 0, 0", 0 },
    { "TOLVANE.EXE", "2, 0, 1, 0", 0 },
    { "TOLVANE.EXE", "2, 0, 2, 0", 0 },
    { "TOLVANE.EXE", "2, 0, 3, 0", 4279808 },
    { "TOLVANE.EXE", "2, 0, 4, 0", 4282880 },
    { "TOLVANE.EXE", "3, 0, 0, 0", 4317184 },
    { "TOLVANE.EXE", "3, 0, 1, 0", 4346368 },
    { "TOLVANE.EXE", "3, 0, 2, 0", 4491264 },
    { "TOLVANE.EXE", "3, 0, 3, 0", 4495360 },
    { "TOLVANE.EXE", "3, 0, 4, 0", 4495360 },
    { "TOLVANE.EXE", "3, 1, 0, 0", 4041216 },
    { "TOLVANE.EXE", "3, 1, 1, 0", 4344832 },
    { "TOLVANE.EXE", "3, 1, 2, 0", 4345856 },
    // This release's own main executable. An update that stopped while it
    // replaced the targets (a kill, a power cut, a program that took hold
    // of a file meanwhile) has already replaced TOLVANE.EXE; accepting 3.13
    // lets the next run install every file again and finish the job, and
    // lets a run over a complete 3.13 repair it.
    { "TOLVANE.EXE", "3, 1, 3, 0", 0 },
};
