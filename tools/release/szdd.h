// The LZ format ("SZDD") that the platform's file installer expands: our own
// encoder, and a decoder for checking releases.
#ifndef TOOLS_RELEASE_SZDD_H
#define TOOLS_RELEASE_SZDD_H

#include <string>

// Compresses `data` into a complete SZDD file image.
std::string SzddCompress(const std::string& data);

// Whether `file` starts with the SZDD signature.
bool IsSzdd(const std::string& file);

// Expands an SZDD file image. False when it is cut short or malformed, or its
// expanded length differs from the length its header states.
bool SzddExpand(const std::string& file, std::string* out);

#endif
