// Moving the user's data files out of the installation folder into
// "Tolvane Data" in the user's documents folder, so that a file appears
// there under its own name only when it is complete, and the source goes
// only after that.
#ifndef POST_DATA_MIGRATION_H
#define POST_DATA_MIGRATION_H

#include "common/path_helpers.h"

// Why data files stayed: the warning to show, and what it names.
struct DataStay {
    unsigned int message;            // IDS_DATA_STAYED, or one that names the cause
    char subject[PATH_BUFFER_SIZE];  // the drive or the file that the cause names
    char amount[16];                 // how many MB more the drive needs
};

// The user's documents folder (CSIDL_PERSONAL) into the path buffer `out`.
// False, with `out` empty, when the system has no lookup or it gives no path.
bool GetDocumentsFolder(char* out);

// Moves "TLCDDB.DB", "CHG.LOG" and every "*.LST" of `folder` into the data
// folder, never overwriting a file already there: the data folder's copy
// wins, and the source is deleted only when it holds the same bytes. Writes
// the data folder into the path buffer `dataFolder` (empty when it cannot
// be named). Returns false when a data file stayed in `folder`: no usable
// documents or data folder, a copy that failed, a path that does not fit, a
// source that another program holds, whose attributes cannot be read or
// whose destination tells nothing, or a source that differs from the data
// folder's file of its name, or whose data folder's file another program
// holds. A source that is the data folder's file itself stays without
// counting as left behind. Where the system has no documents-folder lookup
// at all, nothing is moved and the result is true. `stay` receives the
// warning to show when the result is false: the first cause found that the
// user can remove (no room on the data folder's drive, a program that
// holds a file, no right to write the data folder, a data folder's file of
// the same name with other bytes), else IDS_DATA_STAYED.
bool MigrateDataFiles(const char* folder, char* dataFolder, DataStay* stay);

#endif
