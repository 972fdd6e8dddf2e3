// Typed code points back to code page 437 bytes; the table itself is the
// core's, shared with the console.
#include "frontend/graphic/library/code_page_437.h"

int codePage437FromUnicode(uint32_t codePoint)
{
    if (codePoint >= 0x20 && codePoint < 0x7F) return (int)codePoint;
    for (int code = 128; code < 256; code++)
        if (CODE_PAGE_437[code] == codePoint) return code;
    if (codePoint == CODE_PAGE_437[127]) return 127;
    return -1;
}
