#pragma once
// The show's scroll text as stored in scroll-text.txt: kScrollTextLength
// upper-case characters on one line, followed by a newline.

extern const unsigned char kScrollTextFile[];
extern const unsigned int kScrollTextFileSize;

constexpr unsigned int kScrollTextLength = 433;
