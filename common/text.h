// Bounded byte-string helpers shared by the path code and the installer.
// Pure code: no Windows headers, so the fuzz targets can build it natively.
#ifndef COMMON_TEXT_H
#define COMMON_TEXT_H

// Length of a zero-terminated string in bytes.
unsigned int TextLength(const char* text);

// Copies `text` into `out` (capacity `outSize` bytes, terminator included).
// Returns false and leaves `out` empty when the text does not fit.
bool CopyText(char* out, unsigned int outSize, const char* text);

// Appends `text` to the zero-terminated content of `out`. Returns false and
// leaves `out` unchanged when the result would not fit.
bool AppendText(char* out, unsigned int outSize, const char* text);

// Fills `count` bytes at `out` with zero.
void ClearBytes(void* out, unsigned int count);

#endif
