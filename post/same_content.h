// Whether two files hold the same bytes: the test that a data file left in
// the installation folder is only a copy of the data folder's, and may go.
#ifndef POST_SAME_CONTENT_H
#define POST_SAME_CONTENT_H

// What a comparison of two files found: the same bytes, other bytes, or
// nothing (a file that could not be opened or read, by another program's
// hold, say).
enum ContentAnswer { SameContent, OtherContent, ContentUnread };

// Compares the sizes, then the content a block at a time.
ContentAnswer CompareContent(const char* first, const char* second);

#endif
