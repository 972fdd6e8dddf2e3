// Fuzz target: the console's writeText (variable substitution, word wrap,
// line breaks, UTF-8 output) and the command parser, over the demo game's
// words and variables. Input: two bytes giving the variables' values, the
// text, a NUL byte, the command line.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/database/game_database.h"
#include "core/interpreter/parser.h"
#include "frontend/frontend.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    setenv("LC_ALL", "C.UTF-8", 1);   // the UTF-8 output path
    enterFuzzFolder();
    silenceOutput();
    freshDatabase();
    if (!compileProjectSource("games/demo.adv"))
        abort();
    return 0;
}

// An exact-size NUL-terminated copy, so that a read past the end is caught.
static std::vector<char> copyText(const uint8_t *data, size_t size)
{
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    return text;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    int16_t value = static_cast<int16_t>(data[0] | data[1] << 8);
    for (int i = 0; i < varCount; i++)
        vars[i].value = static_cast<int16_t>(value + i);
    data += 2;
    size -= 2;

    const uint8_t *split = static_cast<const uint8_t *>(memchr(data, 0, size));
    size_t textSize = split ? static_cast<size_t>(split - data) : size;
    std::vector<char> text = copyText(data, textSize);
    writeText(text.data());

    if (split) {
        std::vector<char> line = copyText(split + 1, size - textSize - 1);
        int verb, noun, noun2, noun3;
        int found = parseCommand(line.data(), &verb, &noun, &noun2, &noun3);
        if (found < 0 || found > 4)
            abort();
    }
    return 0;
}
