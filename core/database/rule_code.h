// The rule code: what the kind and the opcodes of a RuleRecord mean. Every
// table of rule words and every reader of records uses these names; the
// values are the letters the compiled file stores.
#pragma once

// Record kinds, one per rule line.
enum RecordKind : char {
    KIND_IF = 'c',          // conditions; a new test
    KIND_OR = '|',          // conditions or-ed with the test so far
    KIND_AND = '&',         // conditions and-ed with the test so far
    KIND_WHILE = 'w',       // conditions; the test of a loop
    KIND_ACTION = 'o',      // actions
    KIND_BEGIN = '{',       // block start
    KIND_FBEGIN = '/',      // block start: its end stops the action scan
    KIND_SBEGIN = '+',      // block start: each action line in it stops the action scan
    KIND_END = '}',         // block end
    KIND_UNUSED = ' ',      // the opcode of an unused slot
};

// Condition opcodes, in the order the compiler tries their keywords: the
// compiler's CONDITION_KEYWORDS table follows this order.
enum ConditionCode : signed char {
    COND_BEGIN = 'b',
    COND_VERB = 'v',
    COND_NOUN = 'n',
    COND_NOUN2 = '2',
    COND_NOUN3 = '3',
    COND_ANYNOUN = 'y',
    COND_MOVE = 'm',
    COND_AT = 'a',
    COND_EXIST = 'e',
    COND_ISIN = 'i',
    COND_CARRIED = 'c',
    COND_WORN = 'w',
    COND_OWNED = 'o',
    COND_HERE = 'h',
    COND_PRESENT = 'p',
    COND_DARK = 'd',
    COND_EQ = '=',
    COND_GT = '>',          // also a lone variable name: greater than 0
    COND_LT = '<',
    COND_FREE = 'f',
    COND_RANDOM = 'r',
    COND_CONTINUED = '+',
};
constexpr int CONDITION_KEYWORD_COUNT = 22;

// Action opcodes, in the order the compiler tries their keywords: the
// compiler's ACTION_KEYWORDS table follows this order ("reset" is a set to
// 0, so 28 keywords share 27 opcodes).
enum ActionCode : signed char {
    ACT_CREATE = 'c',
    ACT_DESTROY = 'd',
    ACT_GET = 'g',
    ACT_WEAR = 'w',
    ACT_PUT = 'p',
    ACT_MOVEALL = 'v',
    ACT_SWAP = 's',
    ACT_GO = 'l',
    ACT_AT = 'a',
    ACT_EXIT = 'e',
    ACT_SUBST = 't',
    ACT_LIGHT = 'i',
    ACT_MESSAGE = 'm',
    ACT_SYSMSG = 'y',
    ACT_SHOW = 'b',
    ACT_PAUSE = 'u',
    ACT_QUIT = 'q',
    ACT_SET = '=',          // also "reset": a set to 0
    ACT_ADD = '+',
    ACT_SUB = '-',
    ACT_MCHOICHE = '9',
    ACT_BCHOICHE = '2',
    ACT_REDESC = 'r',
    ACT_CLS = '_',
    ACT_HALT = 'h',
    ACT_CONTINUE = 'o',
    ACT_BREAK = '}',
};
constexpr int ACTION_KEYWORD_COUNT = 28;

// A negated condition stores the opcode's two's complement: all the letters
// are below 0x80, so a negated opcode is negative and its negation the letter.
static_assert(COND_CONTINUED > 0 && COND_VERB > 0 && COND_RANDOM > 0);
