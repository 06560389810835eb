// MakeCopyStepFolder and IsSameFolder, over GetShortPathNameA, which Windows
// 95 and NT 4.0 both have.
#include <windows.h>
#include "common/path_helpers.h"
#include "common/text.h"
#include "install/copy_step_paths.h"

// The longest name that the copy step puts in a folder: its temporary file.
static const char LONGEST_COPY_NAME[] = "VER0000.TMP";
// The copy step's path record holds this many bytes, its terminator included.
static const unsigned int COPY_STEP_PATH_SIZE = 128;

static bool FitsCopyStep(const char* folder)
{
    char path[PATH_BUFFER_SIZE];
    return MakePath(path, sizeof path, 0, folder, LONGEST_COPY_NAME, 0) &&
           TextLength(path) < COPY_STEP_PATH_SIZE;
}

// The short form of an existing folder into a path buffer, asked without a
// separator at its end (but for a drive's root), the form that every
// platform takes; false when there is none or it does not fit.
static bool GetShortForm(const char* folder, char* out)
{
    char bare[PATH_BUFFER_SIZE];
    if (!CopyBareFolder(bare, sizeof bare, folder))
        return false;
    DWORD length = GetShortPathNameA(bare, out, PATH_BUFFER_SIZE);
    return length != 0 && length < PATH_BUFFER_SIZE;
}

bool MakeCopyStepFolder(const char* folder, const char* subfolder, char* out)
{
    char shortForm[PATH_BUFFER_SIZE];
    if (MakePath(out, PATH_BUFFER_SIZE, 0, folder, subfolder, 0) && FitsCopyStep(out))
        return true;
    return GetShortForm(folder, shortForm) && MakePath(out, PATH_BUFFER_SIZE, 0, shortForm, subfolder, 0) &&
           FitsCopyStep(out);
}

bool IsSameFolder(const char* a, const char* b)
{
    char first[PATH_BUFFER_SIZE];
    char second[PATH_BUFFER_SIZE];
    char firstShort[PATH_BUFFER_SIZE];
    char secondShort[PATH_BUFFER_SIZE];
    // Both without a separator at their end, so that only the names differ.
    if (!CopyBareFolder(first, sizeof first, a) || !CopyBareFolder(second, sizeof second, b))
        return false;
    if (lstrcmpiA(first, second) == 0)
        return true;
    return GetShortForm(first, firstShort) && GetShortForm(second, secondShort) &&
           lstrcmpiA(firstShort, secondShort) == 0;
}
