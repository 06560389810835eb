// The list of staged files that travels with a release: each staged name
// with the size and CRC-32 of the content that it installs (expanded, for a
// source in the LZ format), closed by a CRC-32 of the list itself. The
// release tool writes it beside the staged files; the updater checks every
// staged copy against it before the copy replaces anything.
//
// Layout, little-endian: the 8 bytes of STAGED_LIST_MAGIC; the file count;
// that many records of a 16-byte zero-padded name, the size and the CRC;
// then the CRC-32 of every byte before it. Pure code.
#ifndef INSTALL_STAGED_LIST_H
#define INSTALL_STAGED_LIST_H

// The list's file name, beside the staged files and the updater.
const char STAGED_LIST_FILE[] = "TLFILES.DAT";

const char STAGED_LIST_MAGIC[8] = { 'T', 'L', 'L', 'I', 'S', 'T', '1', 0x1A };
const unsigned int STAGED_LIST_MAX_FILES = 64;
const unsigned int STAGED_LIST_NAME_SIZE = 16;
const unsigned int STAGED_LIST_RECORD_SIZE = STAGED_LIST_NAME_SIZE + 8;
const unsigned int STAGED_LIST_HEADER_SIZE = 12;
const unsigned int STAGED_LIST_MAX_SIZE =
    STAGED_LIST_HEADER_SIZE + STAGED_LIST_MAX_FILES * STAGED_LIST_RECORD_SIZE + 4;

struct ListedFile {
    unsigned int size;
    unsigned int crc;
};

// Writes the list of `count` files (names[i] with files[i]) into `out`.
// Returns its length, or 0 when it does not fit or a name is too long.
unsigned int BuildStagedList(unsigned char* out, unsigned int outSize, const char* const* names,
                             const ListedFile* files, unsigned int count);

// Whether `image` is a whole list: magic, a count within bounds, the length
// that the count gives, zero-terminated names and its own CRC.
bool IsIntactStagedList(const unsigned char* image, unsigned int length);

// Looks a staged name up in a list that IsIntactStagedList has passed,
// without regard to ASCII letter case; the list's CRC is not checked again.
// Any bytes are read safely. False when it is not listed.
bool FindListedFile(const unsigned char* image, unsigned int length, const char* name,
                    ListedFile* out);

#endif
