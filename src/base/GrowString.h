// Growable zero-terminated string: a GrowArray of char whose count includes
// the terminating zero, so an empty string has count 1.
#pragma once

#include "GrowArray.h"

using GrowString = GrowArray<char>;

inline bool growStringInit(GrowString& s, const char* text = "") {
    if (!growInit(s)) return false;
    size_t n = std::strlen(text);
    for (size_t i = 0; i <= n; ++i)
        if (!growPush(s, text[i])) return false;
    return true;
}

inline const char* growStringText(const GrowString& s) { return s.count ? s.items : ""; }

// Length without the terminator.
inline uint32_t growStringLength(const GrowString& s) { return s.count ? s.count - 1 : 0; }
