// The words of the source language as the compiler reads them, in the order
// it tries them: section headers, "[System]" keys, block words, the leading
// words of rule lines and the condition and action keywords. Tools that write
// or colour sources read these same tables.
#pragma once

#include <cstdint>

#include "core/database/rule_code.h"

// Section codes, one per parser.
enum Section : char {
    SECTION_NONE = 0,
    SECTION_SYSTEM = 's',
    SECTION_SYSMSG = 'y',
    SECTION_DIRECTIONS = 'd',
    SECTION_SHOWS = 'i',
    SECTION_LOCATIONS = 'l',
    SECTION_OBJECTS = 'o',
    SECTION_MESSAGES = 'm',
    SECTION_VERBS = 'v',
    SECTION_NOUNS = 'n',
    SECTION_VARS = 'f',
    SECTION_EVENTS = 'e',
    SECTION_ACTIONS = 'a',
};

struct Header {
    const char *text;
    Section section;
};

constexpr int HEADER_COUNT = 13;
extern const Header HEADERS[HEADER_COUNT];

enum SystemKey {
    KEY_TITLE, KEY_START_LOCATION, KEY_MAX_ITEMS, KEY_BOOLEAN, KEY_PROMPT, KEY_SHOW_EXITS,
    KEY_IMAGE_PATH, KEY_STATUS_LINE, KEY_BG_COLOR, KEY_FG_COLOR, KEY_CHARSET,
};

// "[System]" keys with their '=', indexed by SystemKey.
constexpr int SYSTEM_KEY_COUNT = KEY_CHARSET + 1;
extern const char *const SYSTEM_KEYS[SYSTEM_KEY_COUNT];

struct BlockWord {
    const char *text;
    char kind;
    bool exact;             // brace forms: exact spelling, case included
};

// Lines that are a block record as a whole.
constexpr int BLOCK_WORD_COUNT = 20;
extern const BlockWord BLOCK_WORDS[BLOCK_WORD_COUNT];

struct LeadingWord {
    const char *text;       // compared case aside, its blank included
    char kind;
};

// Leading words of condition and action lines; any other line is a bare
// list of actions.
constexpr int LEADING_WORD_COUNT = 6;
extern const LeadingWord LEADING_WORDS[LEADING_WORD_COUNT];

// What an operand names.
enum OperandKind : char {
    OPERAND_NONE,           // not read
    OPERAND_NUMBER,         // any number
    OPERAND_OBJECT,
    OPERAND_LOCATION,       // a declared location
    OPERAND_PLACE,          // an object's place: a location, 0 nowhere, -1 carried, -2 worn
    OPERAND_HERE_OR_LOCATION,   // 0: the player's location
    OPERAND_LOCATION_OR_NONE,   // 0: no exit
    OPERAND_MESSAGE,
    OPERAND_SYSTEM_MESSAGE,
    OPERAND_SHOW,
    OPERAND_VERB,
    OPERAND_NOUN,
    OPERAND_NOUN_OR_VARIABLE,
    OPERAND_VARIABLE,
    OPERAND_DIRECTION,
};

struct Keyword {
    const char *word;
    char opcode;
    int16_t secondOperand;  // stored when the keyword is read
    int8_t needed;          // operand words it needs to mean anything
    OperandKind first, second;
};

// Condition and action keywords. "set" defaults its value to 1; "reset" is a
// set to 0.
extern const Keyword CONDITION_KEYWORDS[CONDITION_KEYWORD_COUNT];
extern const Keyword ACTION_KEYWORDS[ACTION_KEYWORD_COUNT];
