// The command parser: separators, 8-character case-insensitive look-ups,
// verb first, at most three nouns, line ends and the 128-byte work copy.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/database/game_database.h"
#include "core/interpreter/parser.h"

namespace {

void addWord(WordRecord **table, int16_t *count, const char *word, int number)
{
    WordRecord *row = appendWord(table, count);
    copyWord(row->word, word);
    row->number = static_cast<int16_t>(number);
}

struct Parser : ::testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(allocateArena());
        resetDatabase();
        struct { const char *word; int number; } verbWords[] = {
            {"north", 1}, {"get", 14}, {"take", 14}, {"examinat", 13}, {"open", 30},
            {"light", 40}, {"pat", 41}, {"walk", 51}, {"take", 99},
        };
        for (auto &v : verbWords)
            addWord(&verbs, &verbCount, v.word, v.number);
        struct { const char *word; int number; } nounWords[] = {
            {"lamp", 7}, {"key", 3}, {"coin", 4}, {"box", 5}, {"door", 6},
            {"light", 9}, {"dog", 8}, {"s", 10}, {"12", 12},
        };
        for (auto &n : nounWords)
            addWord(&nouns, &nounCount, n.word, n.number);
    }
    void TearDown() override { freeArena(); }
};

struct Case {
    std::string line;
    int count, verb, noun, noun2, noun3;
};

TEST_F(Parser, ReducesLinesToNumbers)
{
    const Case cases[] = {
        {"get lamp", 2, 14, 7, 0, 0},
        {"GET LAMP", 2, 14, 7, 0, 0},
        {"get lamp.", 1, 14, 0, 0, 0},                       // the full stop belongs to the word
        {"take key and lamp and coin and box", 4, 14, 3, 7, 4},  // box is not looked at
        {"lamp take", 1, 14, 0, 0, 0},                       // a noun before the verb is skipped
        {"please open the door", 2, 30, 6, 0, 0},
        {"light light", 2, 40, 9, 0, 0},                     // verb first, then the same word as noun
        {"examinations", 1, 13, 0, 0, 0},                    // 8 characters are significant
        {"get lamps", 1, 14, 0, 0, 0},                       // no abbreviations or longer forms
        {"get lam", 1, 14, 0, 0, 0},
        {"north", 1, 1, 0, 0, 0},
        {"go north", 1, 1, 0, 0, 0},                         // go is no verb: skipped
        {"walk north", 1, 51, 0, 0, 0},                      // north is no noun
        {"pat dog's", 3, 41, 8, 10, 0},                      // the apostrophe separates
        {"  get   lamp  ", 2, 14, 7, 0, 0},
        {"get\tlamp", 0, 0, 0, 0, 0},                        // a tab is part of the word
        {"get,lamp", 0, 0, 0, 0, 0},
        {"get 12", 2, 14, 12, 0, 0},                         // digits are looked up like words
        {"take", 1, 14, 0, 0, 0},                            // the earlier of two rows wins
        {"lamp", 0, 0, 0, 0, 0},
        {"", 0, 0, 0, 0, 0},
        {" ' '' ", 0, 0, 0, 0, 0},
        {"get lamp\r\n", 2, 14, 7, 0, 0},
        {"get lamp\n key", 2, 14, 7, 0, 0},                  // the line ends at its first line end
        {"get" + std::string(120, ' ') + "lamp", 2, 14, 7, 0, 0},
        {"get" + std::string(124, ' ') + "lamp", 1, 14, 0, 0, 0},  // past the 127 characters copied
    };
    for (const Case &c : cases) {
        std::vector<char> line(c.line.begin(), c.line.end());
        line.push_back('\0');
        int verb = -1, noun = -1, noun2 = -1, noun3 = -1;
        int count = parseCommand(line.data(), &verb, &noun, &noun2, &noun3);
        SCOPED_TRACE("line: \"" + c.line + "\"");
        EXPECT_EQ(count, c.count);
        EXPECT_EQ(verb, c.verb);
        EXPECT_EQ(noun, c.noun);
        EXPECT_EQ(noun2, c.noun2);
        EXPECT_EQ(noun3, c.noun3);
    }
}

TEST_F(Parser, RemovesLineEndsInPlaceAndLeavesTheWordsAlone)
{
    char line[] = "Get Lamp's\r\n";
    int verb, noun, noun2, noun3;
    parseCommand(line, &verb, &noun, &noun2, &noun3);
    EXPECT_STREQ(line, "Get Lamp's");
}

}  // namespace
