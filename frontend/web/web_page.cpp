// The web front end's link to its page: the page script's functions called
// from the program (the waits with Asyncify), and the conversion of game
// texts to what the page shows.
#include "frontend/web/web_page.h"

#include <emscripten.h>

#include <cstring>

#include "core/driver/code_page_437.h"
#include "core/interpreter/listings.h"

EM_JS(void, pageSetLook, (int background, int foreground, const char *title), {
    tarnwickPage.setLook(background, foreground, UTF8ToString(title));
});

EM_JS(void, writeArea, (int area, const char *text), {
    tarnwickPage.write(area, UTF8ToString(text));
});

EM_JS(void, writeOutput, (const char *echo, const char *text), {
    tarnwickPage.output(UTF8ToString(echo), UTF8ToString(text));
});

EM_JS(void, clearArea, (int area), {
    tarnwickPage.clear(area);
});

// Each call into the page converts its text and changes the page, so the
// output a turn writes, after the echo of the player's line, is gathered and
// handed over in one piece when the program next waits, and an area is
// replaced only with a text it does not already show.
constexpr int AREA_COUNT = AREA_DESCRIPTION + 1;
static std::string pendingEcho;
static std::string pendingOutput;
static std::string shownAreas[AREA_COUNT];

void pageFlush()
{
    if (pendingEcho.empty() && pendingOutput.empty())
        return;
    writeOutput(pendingEcho.c_str(), pendingOutput.c_str());
    pendingEcho.clear();
    pendingOutput.clear();
}

void pageWrite(int area, const char *text)
{
    if (area == AREA_OUTPUT) {
        pendingOutput += text;
    } else if (area > 0 && area < AREA_COUNT && shownAreas[area] != text) {
        shownAreas[area] = text;
        writeArea(area, text);
    }
}

void pageWriteEcho(const char *text)
{
    if (!pendingOutput.empty())
        pageFlush();
    pendingEcho += text;
}

void pageClear(int area)
{
    if (area == AREA_OUTPUT) {
        pendingEcho.clear();
        pendingOutput.clear();
    } else if (area > 0 && area < AREA_COUNT) {
        shownAreas[area].clear();
    }
    clearArea(area);
}

// An EM_ASYNC_JS function is imported under a name of its own: it is called
// only here, through the plain functions below.
EM_ASYNC_JS(int, waitForInput, (const char *prompt, int limit, char *buffer, int size), {
    const answer = await tarnwickPage.readInput(UTF8ToString(prompt), limit);
    stringToUTF8(answer.line, buffer, size);
    return answer.event;
});

EM_ASYNC_JS(int, waitForKey, (int milliseconds, int keys), {
    return await tarnwickPage.readKey(milliseconds, keys != 0);
});

int pageReadInput(const char *prompt, int limit, char *buffer, int size)
{
    pageFlush();
    return waitForInput(prompt, limit, buffer, size);
}

int pageReadKey(int milliseconds, int keys)
{
    pageFlush();
    return waitForKey(milliseconds, keys);
}

EM_JS(void, pageSetInput, (const char *text), {
    tarnwickPage.setInput(UTF8ToString(text));
});

EM_JS(void, endPage, (), {
    tarnwickPage.end();
});

void pageEnd()
{
    pageFlush();
    endPage();
}

static void appendUtf8(std::string &out, uint16_t point)
{
    if (point < 0x80) {
        out += static_cast<char>(point);
    } else if (point < 0x800) {
        out += static_cast<char>(0xC0 | (point >> 6));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (point >> 12));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    }
}

// Line ends stay; every other byte is its code page 437 character, the
// control bytes as the symbols the window draws for them.
std::string utf8FromCodePage437(const char *bytes, size_t length)
{
    std::string out;
    out.reserve(length);
    for (size_t i = 0; i < length; i++) {
        unsigned char byte = static_cast<unsigned char>(bytes[i]);
        appendUtf8(out, byte == '\n' ? '\n' : CODE_PAGE_437[byte]);
    }
    return out;
}

std::string pageText(const char *text)
{
    if (!text)
        return std::string();
    // A variable's value has at most six characters and its reference at
    // least three (%a%), so the text at most doubles.
    size_t size = 2 * strlen(text) + 8;
    std::string substituted(size, '\0');
    substituteVariables(text, substituted.data(), size);
    substituted.resize(strlen(substituted.c_str()));
    for (char &c : substituted)
        if (c == '\\')
            c = '\n';
    return utf8FromCodePage437(substituted.data(), substituted.size());
}

unsigned char codePage437Byte(int point)
{
    if (point > 0 && point < 0x80)
        return static_cast<unsigned char>(point);
    for (int byte = 0x80; byte < 256; byte++)
        if (CODE_PAGE_437[byte] == point)
            return static_cast<unsigned char>(byte);
    return 0;
}

constexpr unsigned char STAND_IN = '?';   // for a character code page 437 lacks

// The length of the UTF-8 sequence that starts with byte, 0 when none does.
static int sequenceLength(unsigned char byte)
{
    if (byte < 0x80)
        return 1;
    if ((byte & 0xE0) == 0xC0)
        return 2;
    if ((byte & 0xF0) == 0xE0)
        return 3;
    if ((byte & 0xF8) == 0xF0)
        return 4;
    return 0;
}

void codePage437FromUtf8(char *line)
{
    unsigned char *out = reinterpret_cast<unsigned char *>(line);
    const unsigned char *in = out;
    while (*in) {
        int length = sequenceLength(*in);
        int point = length == 1 ? *in : length == 0 ? 0 : *in & (0x7F >> length);
        int taken = 1;
        for (; taken < length && (in[taken] & 0xC0) == 0x80; taken++)
            point = point << 6 | (in[taken] & 0x3F);
        unsigned char byte = taken == length ? codePage437Byte(point) : 0;
        *out++ = byte ? byte : STAND_IN;
        in += taken;
    }
    *out = '\0';
}
