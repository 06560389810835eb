// Records of staged files and the list built from them, over the updater's
// own list code, so the tool writes exactly what the updater reads.
#include <cstdio>
#include "common/crc32.h"
#include "release_list.h"

namespace {

const unsigned int MAX_CONTENT_SIZE = 0xFFFFFFFFu;

std::string Describe(const ListedFile& file)
{
    char text[64];
    snprintf(text, sizeof text, "%u bytes, CRC %08X", file.size, file.crc);
    return text;
}

}  // namespace

bool DescribeContent(const std::string& content, ListedFile* out)
{
    if (content.size() > MAX_CONTENT_SIZE)
        return false;
    out->size = static_cast<unsigned int>(content.size());
    out->crc = Crc32Of(content.data(), out->size);
    return true;
}

bool IsIntactList(const std::string& list)
{
    return list.size() <= STAGED_LIST_MAX_SIZE &&
           IsIntactStagedList(reinterpret_cast<const unsigned char*>(list.data()),
                              static_cast<unsigned int>(list.size()));
}

bool StagedListImage(const std::vector<ListEntry>& entries, std::string* image)
{
    if (entries.size() > STAGED_LIST_MAX_FILES)
        return false;
    const char* names[STAGED_LIST_MAX_FILES];
    ListedFile files[STAGED_LIST_MAX_FILES];
    unsigned int count = static_cast<unsigned int>(entries.size());
    for (unsigned int i = 0; i < count; ++i) {
        names[i] = entries[i].stagedName.c_str();
        files[i] = entries[i].file;
    }
    unsigned char bytes[STAGED_LIST_MAX_SIZE];
    unsigned int length = BuildStagedList(bytes, sizeof bytes, names, files, count);
    image->assign(reinterpret_cast<const char*>(bytes), length);
    return length != 0;
}

std::string ListedContentProblem(const std::string& list, const std::string& stagedName,
                                 const std::string& content)
{
    ListedFile listed, found;
    const unsigned char* image = reinterpret_cast<const unsigned char*>(list.data());
    if (!IsIntactList(list) ||
        !FindListedFile(image, static_cast<unsigned int>(list.size()), stagedName.c_str(), &listed))
        return stagedName + " is not listed in " + STAGED_LIST_FILE;
    if (!DescribeContent(content, &found))
        return stagedName + " is too large to check against " + STAGED_LIST_FILE;
    if (found.size == listed.size && found.crc == listed.crc)
        return std::string();
    return stagedName + " does not match " + STAGED_LIST_FILE + ": " + Describe(found) +
           ", listed " + Describe(listed);
}
