// Whether a file is the updater that a release must carry: the 32-bit GUI
// program that Windows 95 and NT 4.0 load, with this release's dialog and
// version. Read from the file's bytes, so any file can be judged safely.
#ifndef TOOLS_RELEASE_UPDATER_CHECK_H
#define TOOLS_RELEASE_UPDATER_CHECK_H

#include <string>
#include <vector>

// What is wrong with the updater whose bytes are `image` and whose file is
// `path` (for the version resource); empty when it is the right program.
// Each line names one failed property.
std::vector<std::string> UpdaterProblems(const std::string& path, const std::string& image);

#endif
