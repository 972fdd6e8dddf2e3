// The command parser: splits a typed line into words and finds the verb and
// up to three nouns in the word tables.
#include "core/interpreter/parser.h"

#include "core/database/game_database.h"

constexpr int WORK_SIZE = 128;   // the line's work copy, NUL included
constexpr int MAX_NUMBERS = 4;   // verb, noun, noun2, noun3

static bool isSeparator(char c)
{
    return c == ' ' || c == '\'';
}

// command = { separator } [ word { separator } ]... ; the first word found in
// the verbs gives the verb, later words found in the nouns give the nouns;
// every other word is skipped.
int parseCommand(char *line, int *verb, int *noun, int *noun2, int *noun3)
{
    *verb = *noun = *noun2 = *noun3 = 0;
    int *outputs[MAX_NUMBERS] = {verb, noun, noun2, noun3};
    int count = 0;

    for (char *c = line; *c; c++) {
        if (*c == '\r' || *c == '\n') {
            *c = '\0';
            break;
        }
    }

    char work[WORK_SIZE];
    int length = 0;
    while (length < WORK_SIZE - 1 && line[length]) {
        work[length] = line[length];
        length++;
    }
    work[length] = '\0';

    char *cursor = work;
    while (count < MAX_NUMBERS) {
        while (isSeparator(*cursor))
            cursor++;
        if (!*cursor)
            break;
        char *word = cursor;
        while (*cursor && !isSeparator(*cursor))
            cursor++;
        if (*cursor)
            *cursor++ = '\0';

        int number = count == 0 ? findVerb(word) : findNoun(word);
        if (number != 0)
            *outputs[count++] = number;
    }
    return count;
}
