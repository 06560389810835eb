// The Windows 95 family's list of what to do at the next restart: the
// [rename] section of WININIT.INI in the Windows folder. WININIT.EXE reads it
// before Windows loads any driver or program, carries out its lines in
// order ("target=source" renames the source to the target, replacing it;
// "NUL=file" deletes the file), and renames the file to WININIT.BAK. Both
// names are short (8.3) ones: long names are not known yet then. The file
// is written here, whole, never through the profile calls, which would
// merge the many "NUL=" keys into one; every line that other programs put
// there is kept as it was.
#ifndef COMMON_WININIT_FILE_H
#define COMMON_WININIT_FILE_H

// Queues the line `key=value` for the next WriteWininitLines. False when the
// queue has no room for it.
bool QueueWininitLine(const char* key, const char* value);

// Forgets the lines queued so far.
void ClearWininitQueue();

// Writes the queued lines at the end of the first [rename] section (a new
// one at the end of the file where there is none) and empties the queue.
// The new file is written under a name of our own and flushed, the old one
// renamed aside, the new one renamed in, and the old one deleted: a stop at
// any instant leaves the old file or the new one whole, under its name or
// under one that FinishWininitRewrite puts back. A file larger than a later
// run could read back is not written. True when there was nothing to write
// or every line is in place.
bool WriteWininitLines();

// Whether a [rename] line renames `source` (a short name), or may: a file
// that cannot be read now counts as naming it. Only our own copies are
// asked about, and no line of ours deletes one.
bool WininitRenames(const char* source);

// Whether WININIT.INI is missing or can be read whole, after a wait of up
// to 5 s for a program that writes it.
bool WininitReadable();

// Finishes a rewrite of WININIT.INI that a stop interrupted: the new file,
// when it was written whole, takes the name, and our other names go.
void FinishWininitRewrite();

#endif
