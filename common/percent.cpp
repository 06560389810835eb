// PercentOf: 100 / total * done in double precision, truncated toward zero.
#include "common/percent.h"

#if defined(__i386__)
// The 32-bit build computes on the x87, which rounds every result to the
// precision that its control word says: Windows starts a program at 53 bits,
// but other code in the process (a C runtime) may have set 64, and with 64
// bits some percentages come out differently (97 rows: 100 instead of 99
// after the last; 35 rows: 59 instead of 60 after the 21st). The computation
// therefore runs with the precision set to 53 bits, that of a double, and
// the caller's setting is put back afterwards.
static const unsigned short PRECISION_MASK = 0x0300;
static const unsigned short PRECISION_53_BITS = 0x0200;

static unsigned short UseDoublePrecision()
{
    unsigned short saved;
    __asm__ __volatile__("fnstcw %0" : "=m"(saved));
    unsigned short wanted = static_cast<unsigned short>((saved & ~PRECISION_MASK) | PRECISION_53_BITS);
    __asm__ __volatile__("fldcw %0" : : "m"(wanted) : "memory");
    return saved;
}

static void RestorePrecision(unsigned short saved)
{
    __asm__ __volatile__("fldcw %0" : : "m"(saved) : "memory");
}
#endif

unsigned int PercentOf(unsigned int total, unsigned int done)
{
    unsigned int value = 0;
    if (total != 0 && done != 0) {
#if defined(__i386__)
        unsigned short saved = UseDoublePrecision();
        // Volatile operands keep the arithmetic between the two settings.
        volatile unsigned int divisor = total;
        volatile double exact = 100.0 / divisor * done;
        RestorePrecision(saved);
#else
        double exact = 100.0 / total * done;
#endif
        if (exact >= 4294967295.0)
            value = 0xFFFFFFFFu;
        else
            value = static_cast<unsigned int>(exact);
    }
    if (done != 0 && value == 0)
        value = 1;
    return value;
}
