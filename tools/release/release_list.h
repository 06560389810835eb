// The list of staged files as the release tool writes and reads it: stage
// records each product file's size and CRC-32 and writes the list beside the
// staged files; check compares each staged file's installed content with its
// record.
#ifndef TOOLS_RELEASE_RELEASE_LIST_H
#define TOOLS_RELEASE_RELEASE_LIST_H

#include <string>
#include <vector>
#include "install/staged_list.h"

// The record of one staged file: its name as the table spells it, and the
// size and CRC of the bytes it installs.
struct ListEntry {
    std::string stagedName;
    ListedFile file;
};

// Size and CRC of `content`; false when it is too large for a record.
bool DescribeContent(const std::string& content, ListedFile* out);

// Whether `list` (a whole file's bytes) is an intact list.
bool IsIntactList(const std::string& list);

// The list's bytes for `entries`, in their order; false when they do not fit.
bool StagedListImage(const std::vector<ListEntry>& entries, std::string* image);

// What is wrong with a staged file whose installed content is `content`,
// against the intact list `list`: not listed, or another size or CRC than
// its record. Empty when it matches.
std::string ListedContentProblem(const std::string& list, const std::string& stagedName,
                                 const std::string& content);

#endif
