// The game database: the process-wide tables of one game, its settings and
// the string arena that holds every text. Rows are the compiled file's images.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

static_assert(std::endian::native == std::endian::little,
              "records are stored as little-endian file images");

constexpr int ARENA_SIZE = 262144;      // bytes in the string arena
constexpr int16_t CARRIED = -1;         // object location: carried by the player
constexpr int16_t WORN = -2;            // object location: worn (counts as carried)
constexpr int16_t UNCHANGED = -127;     // run-time field: the declared value applies
constexpr int MAX_ENTRY = 32766;        // highest location, object, message, word or var number
constexpr int MAX_SHOW = 32767;         // highest show number
constexpr int MAX_ROWS = 32767;         // most rows of a counted table
constexpr int WORD_SIZE = 8;            // significant characters of words and var names
constexpr int DIRECTION_COUNT = 10;
constexpr int SYSTEM_MESSAGE_COUNT = 32;

// The system messages the kit itself shows or asks; a rule may show any of
// 1..31.
enum SystemMessage {
    MSG_NOT_UNDERSTOOD = 1,     // no verb recognised, or nothing handled the command
    MSG_NOT_HERE = 2,           // the object named is not here
    MSG_NOT_POSSIBLE = 3,       // take, drop, wear or remove is not possible
    MSG_TOO_MUCH = 4,           // MaxItems objects carried already
    MSG_NO_EXIT = 5,            // no exit that way
    MSG_NOTHING_SPECIAL = 7,    // an object without a description is examined
    MSG_ALMOST = 8,             // a rule matched verb and noun but failed
    MSG_REPLY = 9,              // the reply of built-in verb 18
    MSG_DONE = 10,              // a built-in move, take, drop, wear or remove succeeded
    MSG_YOU_SEE = 11,           // heading of the objects at a location
    MSG_CARRYING = 12,          // heading of the inventory
    MSG_WORN = 13,              // after a worn object in the inventory
    MSG_NOTHING_CARRIED = 14,   // the inventory when nothing is carried
    MSG_EXITS = 19,             // heading of the exits
    MSG_SAVE_QUESTION = 21,     // the position to save to
    MSG_RESTORE_QUESTION = 22,  // the position to restore from
    MSG_RESTORE_AT_START = 23,  // restore a saved game at the start?
    MSG_REALLY_QUIT = 24,       // really quit?
    MSG_SAVE_FIRST = 25,        // save before quitting?
    MSG_PLAY_AGAIN = 26,        // play again?
    MSG_FILE_FAILED = 29,       // a saved game cannot be written or read
};
constexpr int RULE_SLOTS = 16;

// A text reference: the offset of a NUL-terminated text in the arena; 0 = none.
typedef uint32_t TextRef;

struct LocationRecord {
    TextRef name;                           // heading; defined when not 0
    TextRef picture;                        // picture file name, 0 = none
    int16_t flags;                          // bit 0 = dark
    int16_t exits[DIRECTION_COUNT];         // declared destination per direction, 0 = none
    int16_t currentExits[DIRECTION_COUNT];  // UNCHANGED = use exits
    int16_t currentLight;                   // UNCHANGED = follow bit 0 of flags; 0 = dark
    TextRef description;
};
static_assert(sizeof(LocationRecord) == 56);
static_assert(offsetof(LocationRecord, picture) == 4);
static_assert(offsetof(LocationRecord, flags) == 8);
static_assert(offsetof(LocationRecord, exits) == 10);
static_assert(offsetof(LocationRecord, currentExits) == 30);
static_assert(offsetof(LocationRecord, currentLight) == 50);
static_assert(offsetof(LocationRecord, description) == 52);

struct ShowRecord {
    TextRef text;
    TextRef picture;                        // 0 = the show is not shown at all
};
static_assert(sizeof(ShowRecord) == 8);
static_assert(offsetof(ShowRecord, picture) == 4);

constexpr int16_t OBJECT_TAKEABLE = 1;      // can be taken and dropped
constexpr int16_t OBJECT_WEARABLE = 2;      // can be worn and removed
constexpr int16_t OBJECT_LIGHT = 4;         // gives light

struct ObjectRecord {
    TextRef name;                           // listed name; the object exists when not 0
    int16_t initialLocation;                // location, 0 nowhere, CARRIED, WORN
    int16_t flags;                          // OBJECT_TAKEABLE | OBJECT_WEARABLE | OBJECT_LIGHT
    int16_t noun;                           // noun number naming the object
    uint8_t padding1[2];                    // 0 in the tables (written as they are)
    TextRef description;                    // 0 = none
    int16_t currentLocation;                // UNCHANGED = use initialLocation
    uint8_t padding2[2];                    // 0 in the tables
};
static_assert(sizeof(ObjectRecord) == 20);
static_assert(offsetof(ObjectRecord, initialLocation) == 4);
static_assert(offsetof(ObjectRecord, flags) == 6);
static_assert(offsetof(ObjectRecord, noun) == 8);
static_assert(offsetof(ObjectRecord, description) == 12);
static_assert(offsetof(ObjectRecord, currentLocation) == 16);

struct WordRecord {
    char word[WORD_SIZE];                   // NUL-padded; no NUL when 8 long
    int16_t number;                         // verb or noun number
};
static_assert(sizeof(WordRecord) == 10);
static_assert(offsetof(WordRecord, number) == 8);

struct RuleRecord {
    char kind;                              // 'c' '|' '&' 'w' 'o' '{' '/' '+' '}'
    signed char opcodes[RULE_SLOTS];        // ' ' = unused; negative = negated
    uint8_t padding;                        // 0 in the tables (written as they are)
    int16_t firstOperands[RULE_SLOTS];
    int16_t secondOperands[RULE_SLOTS];
};
static_assert(sizeof(RuleRecord) == 82);
static_assert(offsetof(RuleRecord, opcodes) == 1);
static_assert(offsetof(RuleRecord, firstOperands) == 18);
static_assert(offsetof(RuleRecord, secondOperands) == 50);

struct VarRecord {
    char name[WORD_SIZE];                   // NUL-padded; no NUL when 8 long
    int16_t value;
};
static_assert(sizeof(VarRecord) == 10);
static_assert(offsetof(VarRecord, value) == 8);

struct GameSettings {
    int16_t StartLocation;
    int16_t MaxItems;
    int16_t ShowExits;
    int16_t BgColor;
    int16_t FgColor;
    char YesLetter;
    char NoLetter;
    char Prompt[16];
    char ImagePath[32];                     // may fill all 32 bytes without a NUL
    char Title[64];
    char StatusLine[64];
};

// String arena.
extern char *arenaBase;
extern char *arenaNext;

// Last-index tables: rows 0..last, last = -1 when empty.
extern LocationRecord *locations;
extern int16_t lastLocation;
// Counts the changes of the locations' current exits and light: every code
// that writes them adds one, so that undo compares them only after a change.
extern uint32_t locationEdits;
extern ShowRecord *shows;
extern int16_t lastShow;
extern TextRef *messages;
extern int16_t lastMessage;
extern ObjectRecord *objects;
extern int16_t lastObject;
// Counts the changes of the objects' current locations, as locationEdits
// counts the locations'.
extern uint32_t objectEdits;

// Fixed tables.
extern TextRef directions[DIRECTION_COUNT];
extern TextRef systemMessages[SYSTEM_MESSAGE_COUNT];

// Counted tables: rows 0..count-1.
extern WordRecord *verbs;
extern int16_t verbCount;
extern WordRecord *nouns;
extern int16_t nounCount;
extern RuleRecord *events;
extern int16_t eventCount;
extern RuleRecord *actions;
extern int16_t actionCount;
extern VarRecord *vars;
extern int16_t varCount;

extern GameSettings settings;

// Allocates the arena; false when memory is short.
bool allocateArena();
void freeArena();

// Empty tables, default settings, arena cursor at offset 1 (directions kept).
void resetDatabase();

// Appends a text (joined to the text before it when continuation is set);
// returns its reference, or 0 when the arena cannot hold it.
TextRef appendText(const char *text, bool continuation);

// Whether the text ref names ends where the arena's used part ends, so that
// a continuation joins onto it.
bool isLastText(TextRef ref);

// The text a reference names, or nullptr for 0.
inline const char *textOf(TextRef ref) { return ref ? arenaBase + ref : nullptr; }

// Used part of the arena in bytes (offset 0 included).
inline uint32_t arenaUsed() { return static_cast<uint32_t>(arenaNext - arenaBase); }

// Growth of the last-index tables to entry n (n > last creates empty rows);
// false when the memory cannot be had: the table is then as it was.
bool growLocations(int n);
bool growShows(int n);
bool growMessages(int n);
bool growObjects(int n);

// Gives back the room the tables were given to grow into while a source was
// read (the rows and their contents stay).
void fitTables();

// Appends one row to a counted table (the caller checks MAX_ROWS first) and
// returns it, zero-filled; nullptr when the memory cannot be had. appendVar
// reserves the placeholder row 0 ("^foobar^") before the first variable.
WordRecord *appendWord(WordRecord **table, int16_t *count);
RuleRecord *appendRule(RuleRecord **table, int16_t *count);
VarRecord *appendVar();

// Counts every change of a rule table made through the database (a row
// appended, a reset, a game installed), so that what is decoded from the
// tables knows when to decode again.
extern uint32_t rulesGeneration;

// True once a table could not grow: the game read is incomplete, and the
// driver ends the program with its memory message.
bool databaseAllocationFailed();

// Eight-character, case-insensitive match of a stored word against a text.
bool wordMatches(const char stored[WORD_SIZE], const char *word);

// Stores the first WORD_SIZE characters of text, NUL-padded (no NUL when 8 long).
void copyWord(char stored[WORD_SIZE], const char *text);

// Word look-ups: the number of the first matching row, 0 when not found.
int findVerb(const char *word);
int findNoun(const char *word);
// Variable look-up: the row number, 0 when not found.
int findVariable(const char *name);

// Run-time readers, safe for any number: UNCHANGED replaced by the declared
// value; 0 for an object or location outside its table. Inline: the rule
// scans read them for nearly every condition.
inline int16_t objectLocation(int object)
{
    if (object < 0 || object > lastObject)
        return 0;
    const ObjectRecord &row = objects[object];
    return row.currentLocation == UNCHANGED ? row.initialLocation : row.currentLocation;
}

// direction 1..10
inline int16_t locationExit(int location, int direction)
{
    if (location < 0 || location > lastLocation || direction < 1 || direction > DIRECTION_COUNT)
        return 0;
    const LocationRecord &row = locations[location];
    int16_t exit = row.currentExits[direction - 1];
    return exit == UNCHANGED ? row.exits[direction - 1] : exit;
}

// A row with a name.
inline bool objectExists(int object)
{
    return object >= 0 && object <= lastObject && objects[object].name != 0;
}

// A row (named or not).
inline bool locationExists(int location)
{
    return location >= 0 && location <= lastLocation;
}

// Texts for the display operations, nullptr when the number names no text:
// message n, system message n, the text of a show that has a picture, and
// what examining an object shows (its description, else system message 7).
const char *messageText(int number);
const char *systemMessageText(int number);
const ShowRecord *visibleShow(int number);
const char *examineText(int object);
