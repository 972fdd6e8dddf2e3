// Case-insensitive text comparisons.
#include "core/database/text_compare.h"

#include <cstring>

bool equalsIgnoreCase(const char *a, const char *b)
{
    for (;; a++, b++) {
        if (asciiLower(*a) != asciiLower(*b))
            return false;
        if (*a == '\0')
            return true;
    }
}

bool prefixEqualsIgnoreCase(const char *a, const char *b, size_t n)
{
    for (size_t i = 0; i < n; i++) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
        if (a[i] == '\0')
            return true;
    }
    return true;
}

bool startsWithIgnoreCase(const char *text, const char *prefix)
{
    return prefixEqualsIgnoreCase(text, prefix, strlen(prefix));
}
