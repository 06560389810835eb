// LoadResString: string-table loads into two alternating 512-byte buffers.
#include <windows.h>
#include "common/app_state.h"
#include "common/res_strings.h"

static char ResStringBuffers[2][RES_STRING_SIZE];
static unsigned int ResStringSelector;

const char* LoadResString(unsigned int id)
{
    ResStringSelector ^= 1;
    char* buffer = ResStringBuffers[ResStringSelector];
    buffer[0] = 0;
    LoadStringA(AppInstance, id, buffer, RES_STRING_SIZE);
    return buffer;
}
