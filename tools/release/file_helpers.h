// Whole-file reads and folder-tree removal, shared by the release tool and
// the tests that check its output.
#ifndef TOOLS_RELEASE_FILE_HELPERS_H
#define TOOLS_RELEASE_FILE_HELPERS_H

#include <windows.h>
#include <string>
#include <vector>

// Reads a whole file into `out`; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string* out);

// The file's version-information block, as the version functions return
// it for VerQueryValueA; empty when the file has none.
std::vector<char> VersionBlock(const std::string& path);

// Removes a folder and everything below it; what cannot be removed stays.
// A junction or link inside is removed as a link: its target is left alone.
void RemoveFolderTree(const std::string& path);

// Folder of the running program, ending in '\'; empty when its name does
// not fit MAX_PATH.
std::string ModuleFolder();

#endif
