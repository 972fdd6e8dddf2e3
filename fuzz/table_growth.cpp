// realloc for the fuzz build (linked with -Wl,--wrap=realloc): a block of
// GROWTH_FROM bytes or more grows to at least twice its size, and the part
// beyond the size asked for is poisoned as an AddressSanitizer container
// tail, so a read or write past the end is still reported.
//
// The database grows its tables one row at a time. A plain realloc does that
// in place, but AddressSanitizer's copies the block every time, and above
// 128 KB maps fresh pages for it: filling a rule table took seconds per
// input, and the small tables' copies were still a third of the time.
// Blocks under 1 KB (a dozen rule rows, a hundred words) still move on
// every growth, and larger ones whenever they double, so a row pointer kept
// across an append is still caught as a use after free.
#include <sanitizer/allocator_interface.h>
#include <sanitizer/asan_interface.h>
#include <sanitizer/common_interface_defs.h>

#include <cstddef>

constexpr size_t GROWTH_FROM = 1024;

extern "C" void *__real_realloc(void *block, size_t size);

// The bytes in use: the block's unpoisoned start. Poisoning only ever covers
// a tail (or nothing), so a binary search finds its first poisoned byte.
static size_t usedBytes(const char *block, size_t capacity)
{
    size_t low = 0, high = capacity;
    while (low < high) {
        size_t middle = low + (high - low) / 2;
        if (__asan_address_is_poisoned(block + middle))
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

extern "C" void *__wrap_realloc(void *block, size_t size)
{
    if (!block || size < GROWTH_FROM)
        return __real_realloc(block, size);
    char *bytes = static_cast<char *>(block);
    size_t capacity = __sanitizer_get_allocated_size(block);
    if (size <= capacity) {
        __sanitizer_annotate_contiguous_container(bytes, bytes + capacity, bytes + usedBytes(bytes, capacity),
                                                  bytes + size);
        return block;
    }
    size_t wanted = size > 2 * capacity ? size : 2 * capacity;
    char *grown = static_cast<char *>(__real_realloc(block, wanted));
    if (!grown) {
        wanted = size;
        grown = static_cast<char *>(__real_realloc(block, wanted));
        if (!grown)
            return nullptr;
    }
    __sanitizer_annotate_contiguous_container(grown, grown + wanted, grown + wanted, grown + size);
    return grown;
}
