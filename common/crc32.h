// CRC-32 (the reflected polynomial 0xEDB88320 of zip and PNG), for checking
// staged files and the list that describes them. Pure code.
#ifndef COMMON_CRC32_H
#define COMMON_CRC32_H

const unsigned int CRC32_START = 0xFFFFFFFFu;

// Continues a CRC over `length` bytes: start from CRC32_START, feed the
// data in any number of pieces, and finish with Crc32Finish.
unsigned int Crc32Update(unsigned int crc, const void* data, unsigned int length);
inline unsigned int Crc32Finish(unsigned int crc) { return crc ^ 0xFFFFFFFFu; }

// The CRC of one block.
unsigned int Crc32Of(const void* data, unsigned int length);

#endif
