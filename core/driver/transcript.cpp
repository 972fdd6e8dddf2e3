// The transcript file: written as the session goes, flushed at every typed
// line so that a crash or a closed window keeps the record so far.
#include "core/driver/transcript.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "core/driver/random_numbers.h"
#include "core/driver/terminal_text.h"

static FILE *transcript = nullptr;
static bool lineOpen = false;       // the last byte written was not a line end

bool openTranscript(const char *path, const char *gameName)
{
    transcript = fopen(path, "a");
    if (!transcript)
        return false;
    time_t now = time(nullptr);
    char date[32] = "";
    strftime(date, sizeof date, "%Y-%m-%d %H:%M UTC", gmtime(&now));
    fprintf(transcript, "Tarnwick 2.4.1 transcript of %s, %s, seed %llu\n", gameName, date,
            static_cast<unsigned long long>(randomSeed()));
    fflush(transcript);
    lineOpen = false;
    return true;
}

bool transcriptActive()
{
    return transcript != nullptr;
}

void transcriptShown(const char *bytes, size_t length)
{
    if (!transcript || length == 0)
        return;
    writeTerminalBytes(transcript, bytes, length, true);
    lineOpen = bytes[length - 1] != '\n';
}

void transcriptShownText(const char *text)
{
    if (text)
        transcriptShown(text, strlen(text));
}

// The length of the UTF-8 sequence at text, 0 when none is there.
static int utf8Length(const unsigned char *text)
{
    int length = text[0] < 0x80 ? 1 : text[0] >= 0xC2 && text[0] <= 0xDF ? 2 : text[0] >= 0xE0 && text[0] <= 0xEF ? 3
                                                                              : text[0] >= 0xF0 && text[0] <= 0xF4 ? 4
                                                                                                                  : 0;
    for (int i = 1; i < length; i++)
        if ((text[i] & 0xC0) != 0x80)
            return 0;
    return length;
}

void transcriptTyped(const char *line)
{
    if (!transcript)
        return;
    for (const unsigned char *c = reinterpret_cast<const unsigned char *>(line); *c && *c != '\n' && *c != '\r';) {
        int length = utf8Length(c);
        if (*c < 0x20 || *c == 0x7F) {
            fputc('?', transcript);      // a control byte typed: no control in the record
            c++;
        } else if (length > 0) {
            fwrite(c, 1, static_cast<size_t>(length), transcript);
            c += length;
        } else {
            fputc(0xC0 | (*c >> 6), transcript);     // Latin-1
            fputc(0x80 | (*c & 0x3F), transcript);
            c++;
        }
    }
    fputc('\n', transcript);
    lineOpen = false;
    fflush(transcript);
}

void closeTranscript()
{
    if (!transcript)
        return;
    if (lineOpen)
        fputc('\n', transcript);
    fclose(transcript);
    transcript = nullptr;
}
