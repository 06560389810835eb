// PercentOf: 100 / total * done in double precision, truncated toward zero.
#include "common/percent.h"

unsigned int PercentOf(unsigned int total, unsigned int done)
{
    unsigned int value = 0;
    if (total != 0 && done != 0) {
        double exact = 100.0 / total * done;
        if (exact >= 4294967295.0)
            value = 0xFFFFFFFFu;
        else
            value = static_cast<unsigned int>(exact);
    }
    if (done != 0 && value == 0)
        value = 1;
    return value;
}
