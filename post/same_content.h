// Whether two files hold the same bytes: the test that a data file left in
// the installation folder is only a copy of the data folder's, and may go.
#ifndef POST_SAME_CONTENT_H
#define POST_SAME_CONTENT_H

// True only when both files could be read whole and hold the same bytes:
// the same size, then the same content, compared a block at a time.
bool HoldSameBytes(const char* first, const char* second);

#endif
