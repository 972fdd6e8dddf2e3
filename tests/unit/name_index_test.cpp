// The name index used while a source is read: it must find exactly the row
// that a plain scan of the table finds, the first matching one.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/database/game_database.h"
#include "core/database/name_index.h"

namespace {

struct NameIndexTest : ::testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(allocateArena());
        resetDatabase();
    }
    void TearDown() override
    {
        setNameIndexing(false);
        freeArena();
    }
};

void addVerb(const char *word, int number)
{
    WordRecord *row = appendWord(&verbs, &verbCount);
    copyWord(row->word, word);
    row->number = static_cast<int16_t>(number);
}

void addVariable(const char *name)
{
    copyWord(appendVar()->name, name);
}

// The plain scans: the first row whose name matches.
int scanVerbs(const std::string &word)
{
    for (int i = 0; i < verbCount; i++)
        if (wordMatches(verbs[i].word, word.c_str()))
            return verbs[i].number;
    return 0;
}

int scanVariables(const std::string &word)
{
    for (int i = 0; i < varCount; i++)
        if (wordMatches(vars[i].name, word.c_str()))
            return i;
    return 0;
}

// Every look-up through the index (kept as it is) against the scans.
void expectSameAsScan(const std::vector<std::string> &words)
{
    ASSERT_TRUE(nameIndexing());
    for (const std::string &word : words) {
        EXPECT_EQ(findVerb(word.c_str()), scanVerbs(word)) << word;
        EXPECT_EQ(findVariable(word.c_str()), scanVariables(word)) << word;
    }
}

TEST_F(NameIndexTest, FindsWhatTheScanFinds)
{
    addVerb("take", 14);
    addVerb("TAKE", 30);            // same word in capitals: the first row wins
    addVerb("examinat", 13);        // 8 letters, no NUL
    addVerb("", 40);                // an empty word from an empty field
    addVerb("lamp", 41);
    addVerb("lam", 42);
    addVariable("score");
    addVariable("Score");
    addVariable("turnsabc");
    std::vector<std::string> words = {
        "take", "Take", "TAKE", "examinat", "examinations", "EXAMINATION", "examina", "", "lamp",
        "lamps", "lam", "la", "score", "SCORE", "scor", "turnsabcdef", "^foobar^", "^FOOBAR^", "none",
    };
    setNameIndexing(true);
    expectSameAsScan(words);

    // Rows appended while the index is on are found, after the earlier ones.
    addVerb("lantern", 43);
    addVerb("Take", 44);
    addVariable("lantern");
    words.push_back("LANTERN");
    expectSameAsScan(words);

    // A table emptied and filled again is indexed afresh.
    setNameIndexing(true);
    EXPECT_EQ(findVerb("take"), 14);
    verbCount = 0;
    addVerb("drop", 15);
    EXPECT_EQ(findVerb("take"), 0);
    EXPECT_EQ(findVerb("DROP"), 15);
}

TEST_F(NameIndexTest, LargeRandomTablesWithSharedNames)
{
    std::mt19937 random(7);
    const char letters[] = "abAB";
    auto randomWord = [&]() {
        std::string word;
        int length = int(random() % 10);
        for (int i = 0; i < length; i++)
            word += letters[random() % 4];
        return word;
    };
    std::vector<std::string> probes;
    setNameIndexing(true);
    for (int i = 0; i < 3000; i++) {
        std::string word = randomWord();
        addVerb(word.c_str(), i + 1);
        addVariable(word.c_str());
        probes.push_back(randomWord());
        if (i % 500 == 0)
            expectSameAsScan(probes);   // look-ups between the appends
    }
    expectSameAsScan(probes);
}

} // namespace
