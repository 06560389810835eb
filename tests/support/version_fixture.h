// Main-executable fixtures: a real PE image with a real version resource
// whose FileVersion string, string block and exact file size are chosen by
// the test.
#ifndef TESTS_SUPPORT_VERSION_FIXTURE_H
#define TESTS_SUPPORT_VERSION_FIXTURE_H

#include <string>

// The raw VS_VERSIONINFO resource with one string block `block` (e.g.
// "041104b0") holding FileVersion and ProductVersion `version`.
std::string BuildVersionResource(const std::string& block, const std::string& version);

// Writes a copy of fixture_base.exe to `path`, stamps the version resource
// (no resource at all when `block` is empty) and pads it to `size` bytes when
// `size` is not 0. Returns false on any failure.
bool WriteMainExecutable(const std::string& path, const std::string& block,
                         const std::string& version, unsigned long size);

#endif
