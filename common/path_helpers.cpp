// EndsWithSeparator, MakePath and SplitPath over ANSI strings, one character at a time.
#include "common/path_helpers.h"
#include "common/lead_bytes.h"
#include "common/text.h"

// Scans forward so that a trail byte equal to '\' is never taken for a separator.
bool EndsWithSeparator(const char* text)
{
    const char* last = 0;
    for (const char* p = text; *p != 0; p = NextChar(p))
        last = p;
    if (last == 0)
        return false;
    if (NextChar(last) - last != 1)
        return false;
    return *last == '\\' || *last == '/';
}

bool OnOneVolume(const char* a, const char* b)
{
    return a[0] != 0 && a[1] == ':' && b[0] != 0 && b[1] == ':' && ((a[0] ^ b[0]) & ~0x20) == 0;
}

bool CopyBareFolder(char* out, unsigned int outSize, const char* folder)
{
    if (!CopyText(out, outSize, folder))
        return false;
    // A separator is one byte, the last character judged as a character.
    unsigned int length = TextLength(out);
    if (length > 3 && EndsWithSeparator(out))
        out[length - 1] = 0;
    return true;
}

bool FitsFileCall(const char* path)
{
    return TextLength(path) <= FILE_CALL_PATH_MAX;
}

bool MakePath(char* out, unsigned int outSize, const char* drive, const char* dir,
              const char* name, const char* ext)
{
    if (outSize == 0)
        return false;
    out[0] = 0;
    bool fits = true;
    if (drive != 0 && drive[0] != 0) {
        char letter[3] = { drive[0], ':', 0 };
        fits = AppendText(out, outSize, letter);
    }
    if (fits && dir != 0 && dir[0] != 0) {
        fits = AppendText(out, outSize, dir);
        if (fits && !EndsWithSeparator(dir))
            fits = AppendText(out, outSize, "\\");
    }
    if (fits && name != 0)
        fits = AppendText(out, outSize, name);
    if (fits && ext != 0) {
        if (ext[0] != 0 && ext[0] != '.')
            fits = AppendText(out, outSize, ".");
        if (fits)
            fits = AppendText(out, outSize, ext);
    }
    if (!fits)
        out[0] = 0;
    return fits;
}

// Copies bytes [from, to) into a part buffer of PATH_PART_SIZE bytes, cut at
// 255 bytes. Returns false when the part was cut.
static bool CopyPart(char* out, const char* from, const char* to)
{
    unsigned int n = static_cast<unsigned int>(to - from);
    bool whole = n <= PATH_PART_MAX;
    if (!whole)
        n = PATH_PART_MAX;
    if (out != 0) {
        for (unsigned int i = 0; i < n; ++i)
            out[i] = from[i];
        out[n] = 0;
    }
    return whole;
}

bool SplitPath(const char* path, char* drive, char* dir, char* name, char* ext)
{
    const char* start = path;
    if (path[0] != 0 && path[1] == ':') {
        if (drive != 0) {
            drive[0] = path[0];
            drive[1] = ':';
            drive[2] = 0;
        }
        start = path + 2;
    } else if (drive != 0) {
        drive[0] = 0;
    }

    const char* afterSeparator = start;
    const char* lastDot = 0;
    const char* end = start;
    for (const char* p = start; *p != 0; p = NextChar(p)) {
        if (NextChar(p) - p == 1) {
            if (*p == '\\' || *p == '/')
                afterSeparator = p + 1;
            else if (*p == '.')
                lastDot = p;
        }
        end = NextChar(p);
    }
    if (lastDot != 0 && lastDot < afterSeparator)
        lastDot = 0;
    const char* nameEnd = lastDot != 0 ? lastDot : end;

    bool whole = CopyPart(dir, start, afterSeparator);
    whole = CopyPart(name, afterSeparator, nameEnd) && whole;
    whole = CopyPart(ext, nameEnd, end) && whole;
    return whole;
}
