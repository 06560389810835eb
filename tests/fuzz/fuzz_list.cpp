// libFuzzer target for the list of staged files, which comes off CDs and
// downloads: checking and looking up any bytes never reads past them, a
// list that passes has the length its count gives, and a list built from
// names and records reads back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>
#include "install/staged_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Exactly the input's bytes on the heap, so a read past them is caught.
    std::vector<unsigned char> image(data, data + size);
    unsigned int length = static_cast<unsigned int>(size);
    ListedFile found;
    if (IsIntactStagedList(image.data(), length)) {
        unsigned int count = image[8] | (image[9] << 8);
        if (length != STAGED_LIST_HEADER_SIZE + count * STAGED_LIST_RECORD_SIZE + 4)
            abort();
    }
    FindListedFile(image.data(), length, "tl001.tmp", &found);

    // Names from the input (up to 15 bytes each, as a record holds).
    std::vector<std::string> names;
    std::vector<ListedFile> files;
    for (size_t i = 0; i + 4 <= size && names.size() < STAGED_LIST_MAX_FILES; i += 4) {
        std::string name(reinterpret_cast<const char*>(data + i), 4);
        name = "n" + std::to_string(names.size()) + name.substr(0, name.find('\0'));
        names.push_back(name);
        files.push_back(ListedFile{ static_cast<unsigned int>(i), static_cast<unsigned int>(i * 7) });
    }
    std::vector<const char*> pointers;
    for (const std::string& name : names)
        pointers.push_back(name.c_str());
    unsigned char built[STAGED_LIST_MAX_SIZE];
    unsigned int builtLength = BuildStagedList(built, sizeof built, pointers.data(), files.data(),
                                               static_cast<unsigned int>(names.size()));
    if (builtLength == 0)
        abort();
    if (!IsIntactStagedList(built, builtLength))
        abort();
    for (size_t i = 0; i < names.size(); ++i) {
        // A later name may fold to an earlier one; the first record answers.
        if (!FindListedFile(built, builtLength, names[i].c_str(), &found))
            abort();
    }
    return 0;
}
