// Colour lookups by name (column Z) and by value (the group report).
#include "files/groups.h"

#include "files_fixture.h"

namespace {

using ColourTable = FilesTest;

TEST_F(ColourTable, NamesGiveWindowsColourValues) {
    EXPECT_EQ(colourByName("Black"), 0x000000);
    EXPECT_EQ(colourByName("Red"), 0x0000FF);
    EXPECT_EQ(colourByName("Green"), 0x008000);
    EXPECT_EQ(colourByName("Blue"), 0xFF0000);
    EXPECT_EQ(colourByName("Gray"), 0x808080);
    EXPECT_EQ(colourByName("White"), 0xFFFFFF);
    EXPECT_EQ(colourByName("AliceBlue"), 0xFFF8F0);
    EXPECT_EQ(colourByName("YellowGreen"), 0x32CD9A);
}

TEST_F(ColourTable, NamesMatchOnlyExactly) {
    for (const char* text : {"black", "BLACK", " Red", "Red ", "Red\n", "Re", "Redd", "", "Grey"})
        EXPECT_EQ(colourByName(text), -1) << '"' << text << '"';
    EXPECT_EQ(colourByName(nullptr), -1);
}

TEST_F(ColourTable, ValuesNameTheFirstEqualEntry) {
    EXPECT_STREQ(colourName(0xFFFF00), "Aqua");
    EXPECT_STREQ(colourName(colourByName("Cyan")), "Aqua");
    EXPECT_STREQ(colourName(colourByName("Magenta")), "Fuchsia");
    EXPECT_STREQ(colourName(colourByName("Gray")), "Gray");
}

TEST_F(ColourTable, UnknownValueGivesTheLastNameFound) {
    EXPECT_EQ(colourName(-1), nullptr);
    EXPECT_STREQ(colourName(0x0000FF), "Red");
    EXPECT_STREQ(colourName(-1), "Red");
    EXPECT_STREQ(colourName(0x123456), "Red");
    EXPECT_STREQ(colourName(0), "Black");
    EXPECT_STREQ(colourName(-1), "Black");
}

}  // namespace
