// Building, checking and reading the list of staged files.
#include "common/crc32.h"
#include "common/text.h"
#include "install/staged_list.h"

static unsigned int ReadLe32(const unsigned char* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<unsigned int>(p[3]) << 24);
}

static void WriteLe32(unsigned char* p, unsigned int value)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(value >> (8 * i));
}

static unsigned int ListLength(unsigned int count)
{
    return STAGED_LIST_HEADER_SIZE + count * STAGED_LIST_RECORD_SIZE + 4;
}

unsigned int BuildStagedList(unsigned char* out, unsigned int outSize, const char* const* names,
                             const ListedFile* files, unsigned int count)
{
    if (count > STAGED_LIST_MAX_FILES || ListLength(count) > outSize)
        return 0;
    unsigned int length = ListLength(count);
    ClearBytes(out, length);
    for (unsigned int i = 0; i < sizeof STAGED_LIST_MAGIC; ++i)
        out[i] = static_cast<unsigned char>(STAGED_LIST_MAGIC[i]);
    WriteLe32(out + 8, count);
    for (unsigned int i = 0; i < count; ++i) {
        unsigned char* record = out + STAGED_LIST_HEADER_SIZE + i * STAGED_LIST_RECORD_SIZE;
        if (!CopyText(reinterpret_cast<char*>(record), STAGED_LIST_NAME_SIZE, names[i]))
            return 0;
        WriteLe32(record + STAGED_LIST_NAME_SIZE, files[i].size);
        WriteLe32(record + STAGED_LIST_NAME_SIZE + 4, files[i].crc);
    }
    WriteLe32(out + length - 4, Crc32Of(out, length - 4));
    return length;
}

// Whether `image` has a list's frame: magic, a count within bounds and the
// length that the count gives. Enough to read its records safely.
static bool HasListFrame(const unsigned char* image, unsigned int length)
{
    if (length < STAGED_LIST_HEADER_SIZE + 4)
        return false;
    for (unsigned int i = 0; i < sizeof STAGED_LIST_MAGIC; ++i)
        if (image[i] != static_cast<unsigned char>(STAGED_LIST_MAGIC[i]))
            return false;
    unsigned int count = ReadLe32(image + 8);
    return count <= STAGED_LIST_MAX_FILES && length == ListLength(count);
}

bool IsIntactStagedList(const unsigned char* image, unsigned int length)
{
    if (!HasListFrame(image, length))
        return false;
    unsigned int count = ReadLe32(image + 8);
    for (unsigned int i = 0; i < count; ++i)
        if (image[STAGED_LIST_HEADER_SIZE + i * STAGED_LIST_RECORD_SIZE + STAGED_LIST_NAME_SIZE - 1] != 0)
            return false;
    return ReadLe32(image + length - 4) == Crc32Of(image, length - 4);
}

static char FoldCase(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Compares a record's name field (at most STAGED_LIST_NAME_SIZE bytes, which
// an unchecked list may not terminate) with `name`.
static bool SameName(const char* record, const char* name)
{
    unsigned int i = 0;
    for (; i < STAGED_LIST_NAME_SIZE && record[i] != 0 && name[i] != 0; ++i)
        if (FoldCase(record[i]) != FoldCase(name[i]))
            return false;
    return i < STAGED_LIST_NAME_SIZE && record[i] == name[i];
}

bool FindListedFile(const unsigned char* image, unsigned int length, const char* name,
                    ListedFile* out)
{
    if (!HasListFrame(image, length))
        return false;
    unsigned int count = ReadLe32(image + 8);
    for (unsigned int i = 0; i < count; ++i) {
        const unsigned char* record = image + STAGED_LIST_HEADER_SIZE + i * STAGED_LIST_RECORD_SIZE;
        if (SameName(reinterpret_cast<const char*>(record), name)) {
            out->size = ReadLe32(record + STAGED_LIST_NAME_SIZE);
            out->crc = ReadLe32(record + STAGED_LIST_NAME_SIZE + 4);
            return true;
        }
    }
    return false;
}
