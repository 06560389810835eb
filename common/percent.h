// Progress percentage of a count. Pure code.
#ifndef COMMON_PERCENT_H
#define COMMON_PERCENT_H

// Whole percentage of `done` out of `total`, truncated; 0 when either is 0,
// but never 0 when `done` is not 0. Not limited to 100; saturates at the
// largest unsigned 32-bit value instead of overflowing.
unsigned int PercentOf(unsigned int total, unsigned int done);

#endif
