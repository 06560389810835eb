// Moving the user's data files out of the installation folder into
// "Tolvane Data" in the user's documents folder.
#ifndef POST_DATA_MIGRATION_H
#define POST_DATA_MIGRATION_H

// The user's documents folder (CSIDL_PERSONAL) into the path buffer `out`.
// False, with `out` empty, when the system has no lookup or it gives no path.
bool GetDocumentsFolder(char* out);

// The data folder named by string entry `id` inside the documents folder,
// created when missing, into the path buffer `out`. False when there is none.
bool GetDataFolder(char* out, unsigned int id);

// Moves "TLCDDB.DB", "CHG.LOG" and every "*.LST" of `folder` into the data
// folder, never overwriting a file already there. Reports nothing.
void MigrateDataFiles(const char* folder);

#endif
