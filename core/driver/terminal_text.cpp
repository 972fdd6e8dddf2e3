// The terminal writer shared by the console front end and the compiler's
// echo of source lines.
#include "core/driver/terminal_text.h"

#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>

#include "core/database/text_compare.h"
#include "core/driver/code_page_437.h"

constexpr unsigned char STAND_IN = '?';  // for a control byte without a written form

static int utf8Terminal = -1;            // -1 not decided yet, then 0 or 1

bool terminalIsUtf8()
{
    if (utf8Terminal >= 0)
        return utf8Terminal == 1;
    // The name setlocale returns is overwritten by the next call: keep a copy.
    const char *current = setlocale(LC_CTYPE, nullptr);
    char *saved = current ? strdup(current) : nullptr;
    bool utf8 = false;
    if (setlocale(LC_CTYPE, "")) {
        const char *codeset = nl_langinfo(CODESET);
        utf8 = codeset && (equalsIgnoreCase(codeset, "UTF-8") || equalsIgnoreCase(codeset, "UTF8"));
    }
    if (saved) {
        setlocale(LC_CTYPE, saved);
        free(saved);
    }
    utf8Terminal = utf8 ? 1 : 0;
    return utf8;
}

static void putUtf8(FILE *out, uint16_t point)
{
    if (point < 0x80) {
        fputc(point, out);
    } else if (point < 0x800) {
        fputc(0xC0 | (point >> 6), out);
        fputc(0x80 | (point & 0x3F), out);
    } else {
        fputc(0xE0 | (point >> 12), out);
        fputc(0x80 | ((point >> 6) & 0x3F), out);
        fputc(0x80 | (point & 0x3F), out);
    }
}

// The byte a text's byte is written as on a terminal that is not UTF-8.
static unsigned char rawByte(unsigned char byte)
{
    for (const Latin1Letter &letter : LATIN1_LETTERS)
        if (byte == letter.codePage437)
            return letter.latin1;
    bool control = byte < 0x20 || (byte >= 0x7F && byte < 0xA0);
    return control ? STAND_IN : byte;
}

void writeTerminalBytes(FILE *out, const char *bytes, size_t length, bool utf8)
{
    for (size_t i = 0; i < length; i++) {
        unsigned char byte = static_cast<unsigned char>(bytes[i]);
        if (byte == '\n' || (byte >= 0x20 && byte < 0x7F)) {
            // A run of plain characters goes out in one write.
            size_t end = i + 1;
            while (end < length && (bytes[end] == '\n' || (bytes[end] >= 0x20 && bytes[end] < 0x7F)))
                end++;
            fwrite(bytes + i, 1, end - i, out);
            i = end - 1;
        } else if (!utf8)
            fputc(rawByte(byte), out);
        else if (byte == 0)
            fputc(STAND_IN, out);
        else
            putUtf8(out, CODE_PAGE_437[byte]);
    }
}

void writeTerminalText(FILE *out, const char *text)
{
    if (text)
        writeTerminalBytes(out, text, strlen(text), terminalIsUtf8());
}

void typedToCodePage437(char *line)
{
    unsigned char *out = reinterpret_cast<unsigned char *>(line);
    for (const unsigned char *in = out; *in; in++) {
        if ((in[0] == 0xC2 || in[0] == 0xC3) && (in[1] & 0xC0) == 0x80) {
            unsigned point = (in[0] & 0x1F) << 6 | (in[1] & 0x3F);
            bool known = false;
            for (const Latin1Letter &letter : LATIN1_LETTERS)
                if (point == letter.latin1) {
                    *out++ = letter.codePage437;
                    known = true;
                    break;
                }
            if (known) {
                in++;
                continue;
            }
        }
        *out++ = *in;
    }
    *out = '\0';
}

void typedLatin1ToCodePage437(char *line)
{
    for (unsigned char *c = reinterpret_cast<unsigned char *>(line); *c; c++)
        for (const Latin1Letter &letter : LATIN1_LETTERS)
            if (*c == letter.latin1) {
                *c = letter.codePage437;
                break;
            }
}
