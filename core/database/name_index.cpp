// The name index: open hashing of the folded 8-character names of the verb,
// noun and variable tables; each name keeps the first row that holds it.
#include "core/database/name_index.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/database/game_database.h"
#include "core/database/text_compare.h"

constexpr int EMPTY = -1;
constexpr int FIRST_BITS = 10;          // 1,024 slots to start with

struct NameIndex {
    uint64_t *keys;
    int *rows;              // EMPTY or the first row with that key
    int bits;               // 2^bits slots
    int used;               // slots holding a key
    int indexed;            // rows 0..indexed-1 are in the index
};

static NameIndex indexes[NAME_TABLE_COUNT];
static bool indexing = false;

// The name as compared: at most 8 characters, up to its NUL, in small letters.
static uint64_t nameKey(const char *name)
{
    uint64_t key = 0;
    for (int i = 0; i < WORD_SIZE && name[i]; i++)
        key |= uint64_t(static_cast<unsigned char>(asciiLower(name[i]))) << (8 * i);
    return key;
}

static size_t slotOf(const NameIndex &index, uint64_t key)
{
    return size_t((key * 0x9e3779b97f4a7c15ull) >> (64 - index.bits));
}

static void dropIndex(NameIndex &index)
{
    free(index.keys);
    free(index.rows);
    index = NameIndex{};
}

// The slot holding key, or the empty slot where it belongs.
static size_t findSlot(const NameIndex &index, uint64_t key)
{
    size_t mask = (size_t(1) << index.bits) - 1;
    size_t slot = slotOf(index, key);
    while (index.rows[slot] != EMPTY && index.keys[slot] != key)
        slot = (slot + 1) & mask;
    return slot;
}

static bool allocateSlots(NameIndex &index, int bits)
{
    size_t size = size_t(1) << bits;
    index.keys = static_cast<uint64_t *>(malloc(size * sizeof *index.keys));
    index.rows = static_cast<int *>(malloc(size * sizeof *index.rows));
    if (!index.keys || !index.rows)
        return false;
    for (size_t i = 0; i < size; i++)
        index.rows[i] = EMPTY;
    index.bits = bits;
    return true;
}

// Keeps the index at most half full; false when memory is short.
static bool makeRoom(NameIndex &index)
{
    if (index.keys && 2 * (index.used + 1) <= (1 << index.bits))
        return true;
    NameIndex grown{};
    if (!allocateSlots(grown, index.keys ? index.bits + 1 : FIRST_BITS)) {
        dropIndex(grown);
        return false;
    }
    for (size_t i = 0; index.keys && i < (size_t(1) << index.bits); i++)
        if (index.rows[i] != EMPTY) {
            size_t slot = findSlot(grown, index.keys[i]);
            grown.keys[slot] = index.keys[i];
            grown.rows[slot] = index.rows[i];
        }
    grown.used = index.used;
    grown.indexed = index.indexed;
    dropIndex(index);
    index = grown;
    return true;
}

void setNameIndexing(bool on)
{
    for (NameIndex &index : indexes)
        dropIndex(index);
    indexing = on;
}

bool nameIndexing()
{
    return indexing;
}

// The first matching row by a plain scan, for when the index cannot be used.
static int scanRows(const char *firstName, size_t stride, int count, const char *name)
{
    for (int row = 0; row < count; row++)
        if (wordMatches(firstName + size_t(row) * stride, name))
            return row;
    return -1;
}

int indexedRow(NameTable table, const char *firstName, size_t stride, int count, const char *name)
{
    NameIndex &index = indexes[table];
    if (count < index.indexed)
        dropIndex(index);       // the table was emptied and refilled: start again
    for (; index.indexed < count; index.indexed++) {
        if (!makeRoom(index)) {
            dropIndex(index);
            return scanRows(firstName, stride, count, name);
        }
        uint64_t key = nameKey(firstName + size_t(index.indexed) * stride);
        size_t slot = findSlot(index, key);
        if (index.rows[slot] == EMPTY) {    // an earlier row keeps a name it shares
            index.keys[slot] = key;
            index.rows[slot] = index.indexed;
            index.used++;
        }
    }
    if (!index.keys)
        return -1;
    size_t slot = findSlot(index, nameKey(name));
    return index.rows[slot];
}
