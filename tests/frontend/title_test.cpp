// The main window's title.
#include "frontend/title.h"

#include "core/world_fixture.h"

#include <climits>
#include <cstring>

namespace {

using coretest::freshWorld;

class Title : public ::testing::Test {
protected:
    void SetUp() override {
        freshWorld();
        world.carTotal = 350;
    }
    std::string title(std::size_t size = TitleSize) {
        std::vector<char> text(size + 1, '@');
        formatTitle(text.data(), size);
        EXPECT_EQ(text[size], '@');     // nothing written past the buffer
        return std::string(text.data(), size ? std::strlen(text.data()) : 0);
    }
};

TEST_F(Title, RunFiguresInTheirColumns) {
    world.run.stepCount = 1234;
    EXPECT_EQ(title(), "Ombrane 0.8 - Default       #(        1234)0  x1   350 cars      ");
    world.run.stepTo = 1500;
    world.run.speedMultiplier = 25;
    std::snprintf(world.groupsName, sizeof world.groupsName, "city.csv");
    std::snprintf(world.titleLine, sizeof world.titleLine, "61(A) 55(0) 48(1)");
    world.hasTitleLine = 1;
    EXPECT_EQ(title(), "Ombrane 0.8 - city.csv       #(        1234)1500  x25   350 cars      61(A) 55(0) 48(1)");
}

TEST_F(Title, NoTitleLineYetShowsNothingAfterTheCars) {
    std::snprintf(world.titleLine, sizeof world.titleLine, "stale");
    world.hasTitleLine = 0;
    EXPECT_EQ(title(), "Ombrane 0.8 - Default       #(           0)0  x1   350 cars      ");
}

TEST_F(Title, LongTextIsCutAt519Characters) {
    std::memset(world.groupsName, 'g', sizeof world.groupsName - 1);
    world.groupsName[sizeof world.groupsName - 1] = 0;
    std::memset(world.titleLine, 't', sizeof world.titleLine - 1);
    world.titleLine[sizeof world.titleLine - 1] = 0;
    world.hasTitleLine = 1;
    world.run.stepCount = INT_MIN;
    world.run.stepTo = INT_MAX;
    world.run.speedMultiplier = INT_MIN;
    world.carTotal = INT_MAX;
    std::string cut = title();
    EXPECT_EQ(cut.size(), 519u);
    EXPECT_EQ(cut.compare(0, 14, "Ombrane 0.8 - "), 0);
    EXPECT_EQ(title(1), "");
    EXPECT_EQ(title(8), "Ombrane");
    title(0);
}

TEST_F(Title, EarlierEditionShowsTheTickCost) {
    freshWorld(LegacyEdition);
    world.carTotal = 350;
    world.run.stepCount = 42;
    world.run.tickMillis = 3;
    EXPECT_EQ(title(), "Ombrane 0.7 - Default       #(          42)       350 cars = [  48ms]/sec     ");
}

}  // namespace
