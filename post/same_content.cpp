// CompareContent. The two blocks live in uninitialised data: the program has
// no heap to spare for them.
#include <windows.h>
#include "post/same_content.h"

static const DWORD BLOCK_SIZE = 8192;
static unsigned char FirstBlock[BLOCK_SIZE];
static unsigned char SecondBlock[BLOCK_SIZE];

static HANDLE OpenToRead(const char* path)
{
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, 0);
}

ContentAnswer CompareContent(const char* first, const char* second)
{
    ContentAnswer answer = ContentUnread;
    HANDLE a = OpenToRead(first);
    HANDLE b = OpenToRead(second);
    DWORD highA = 0, highB = 0;
    if (a == INVALID_HANDLE_VALUE || b == INVALID_HANDLE_VALUE)
        goto done;
    // A size that cannot be read compares like any other: the blocks then
    // decide, and a file that cannot be read is never the same.
    answer = OtherContent;
    if (GetFileSize(a, &highA) != GetFileSize(b, &highB) || highA != highB)
        goto done;
    for (;;) {
        DWORD gotA = 0, gotB = 0;
        if (!ReadFile(a, FirstBlock, BLOCK_SIZE, &gotA, 0) || !ReadFile(b, SecondBlock, BLOCK_SIZE, &gotB, 0)) {
            answer = ContentUnread;
            goto done;
        }
        if (gotA != gotB)
            goto done;
        if (gotA == 0)
            break;
        for (DWORD i = 0; i < gotA; ++i)
            if (FirstBlock[i] != SecondBlock[i])
                goto done;
    }
    answer = SameContent;
done:
    if (a != INVALID_HANDLE_VALUE)
        CloseHandle(a);
    if (b != INVALID_HANDLE_VALUE)
        CloseHandle(b);
    return answer;
}
