// Texts from the program's string table, in two alternating buffers so that a
// caption and a message loaded one after the other are both valid together.
#ifndef COMMON_RES_STRINGS_H
#define COMMON_RES_STRINGS_H

const unsigned int RES_STRING_SIZE = 512;

// Loads string-table entry `id` into the buffer not filled by the previous
// call and returns it (empty when the entry is missing). A third call reuses
// the first call's buffer. Single-threaded use only.
const char* LoadResString(unsigned int id);

#endif
