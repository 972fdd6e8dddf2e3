// The demonstration game's pictures: every picture it names loads, and the scrambled one is scrambled.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "core/compiler/source_reader.h"
#include "core/database/game_database.h"
#include "frontend/frontend.h"
#include "frontend/graphic/library/graphics_library.h"
#include "frontend/graphic/pictures.h"

namespace {

// Distinct colours in the picture area.
size_t coloursShown()
{
    std::set<GrColor> colours;
    for (int y = 0; y < PICTURE_HEIGHT; y++)
        for (int x = 0; x < PICTURE_WIDTH; x++) colours.insert(grScreenPixel(x, y));
    return colours.size();
}

TEST(DemoPictures, EveryPictureNamedLoads)
{
    ASSERT_TRUE(allocateArena());
    resetDatabase();
    ASSERT_EQ(chdir(GAMES_DIR), 0);
    FILE *source = fopen("demo.adv", "r");
    ASSERT_NE(source, nullptr);
    ASSERT_GE(readSourceFile(source, "demo.adv"), 0);
    fclose(source);
    ASSERT_STRNE(settings.ImagePath, "");
    openScreen();

    int shown = 0;
    auto check = [&](TextRef picture, const char *what, int number) {
        if (!picture) return;
        SCOPED_TRACE(std::string(what) + " " + std::to_string(number) + ": " + textOf(picture));
        EXPECT_EQ(showPicture(textOf(picture)), 0);
        EXPECT_GT(coloursShown(), 1u);
        shown++;
    };
    for (int i = 0; i <= lastLocation; i++) check(locations[i].picture, "location", i);
    for (int i = 0; i <= lastShow; i++) check(shows[i].picture, "show", i);
    EXPECT_GT(shown, 1);
}

TEST(DemoPictures, TowerIsScrambled)
{
    FILE *file = fopen(GAMES_DIR "/pictures/tower.png", "rb");
    ASSERT_NE(file, nullptr);
    unsigned char head[45];
    ASSERT_EQ(fread(head, 1, sizeof head, file), sizeof head);
    fclose(file);
    EXPECT_EQ(memcmp(head + 37, "SrMBtwk?", 8), 0);
}

}  // namespace
