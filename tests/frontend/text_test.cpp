// Dialog numbers, the help printer, file names and warning texts.
#include "frontend/text.h"

#include "core/world_fixture.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

using coretest::freshWorld;
using coretest::LogCapture;

TEST(DigitFilter, KeepsDigitsAndToleratesSeparators) {
    char text[16];
    std::snprintf(text, sizeof text, "1,500");
    EXPECT_TRUE(DigitFilter(text));
    EXPECT_STREQ(text, "1500");
    std::snprintf(text, sizeof text, " 2 5\t");
    EXPECT_TRUE(DigitFilter(text));
    EXPECT_STREQ(text, "25");
    std::snprintf(text, sizeof text, "%s", "");
    EXPECT_TRUE(DigitFilter(text));
    EXPECT_STREQ(text, "");
}

TEST(DigitFilter, AnythingElseAsksForConfirmation) {
    char text[16];
    std::snprintf(text, sizeof text, "12a4");
    EXPECT_FALSE(DigitFilter(text));
    EXPECT_STREQ(text, "124");
    std::snprintf(text, sizeof text, "15 km");
    EXPECT_FALSE(DigitFilter(text));
    EXPECT_STREQ(text, "15");
    std::snprintf(text, sizeof text, "-3");
    EXPECT_FALSE(DigitFilter(text));
    EXPECT_STREQ(text, "3");
    std::snprintf(text, sizeof text, "\xe9\xff.");
    EXPECT_FALSE(DigitFilter(text));
    EXPECT_STREQ(text, "");
}

TEST(DigitFilter, NumbersOfTheFilteredText) {
    EXPECT_EQ(numberFromDigits(""), 0);
    EXPECT_EQ(numberFromDigits("0025"), 25);
    EXPECT_EQ(numberFromDigits("2147483647"), 2147483647);
    EXPECT_EQ(numberFromDigits("2147483648"), 2147483647);
    EXPECT_EQ(numberFromDigits("9999999999999"), 2147483647);
}

std::string chunkText(const char* chunk, int* printed = nullptr) {
    char out[HelpChunkLimit + 4];
    int shown = helpChunkText(chunk, out, sizeof out);
    if (printed)
        *printed = shown;
    return out;
}

TEST(HelpChunks, EachKindOfChunk) {
    int printed = 0;
    EXPECT_EQ(chunkText("whole line\n", &printed), "whole line\n");
    EXPECT_TRUE(printed);
    EXPECT_EQ(chunkText("# a comment\n", &printed), "");
    EXPECT_FALSE(printed);
    EXPECT_EQ(chunkText("ends at a blank ", &printed), "ends at a blank \r\n");
    EXPECT_EQ(chunkText("ends at a tab\t"), "ends at a tab\t\r\n");
    EXPECT_EQ(chunkText("cut inside a wo"), "cut inside a\nwo");
    EXPECT_EQ(chunkText("cut\tafter a tab"), "cut\tafter a\ntab");
    EXPECT_EQ(chunkText("nowhitespaceatall"), "nowhitespaceatall");
    EXPECT_EQ(chunkText("100% sure\n"), "100% sure\n");
}

class HelpFile : public ::testing::Test {
protected:
    std::string path;
    void SetUp() override {
        freshWorld();
        char name[] = "/tmp/ombrane-help-XXXXXX";
        int fd = mkstemp(name);
        ASSERT_GE(fd, 0);
        close(fd);
        path = name;
    }
    void TearDown() override { std::remove(path.c_str()); }
    void write(const std::string& text) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    std::string print(int* result = nullptr) {
        LogCapture log;
        int ok = PrintHelpFile(path.c_str());
        if (result)
            *result = ok;
        return log.take();
    }
};

TEST_F(HelpFile, LongLinesBreakAtTheLastBlankOfEachChunk) {
    // 60 characters: the first 39 end inside "ninety", the rest follows.
    std::string line = "alpha beta gamma delta epsilon zeta eta ninety theta iota ka";
    ASSERT_EQ(line.size(), 60u);
    write(line + "\n");
    EXPECT_EQ(print(), "alpha beta gamma delta epsilon zeta\neta ninety theta iota ka\n");
}

TEST_F(HelpFile, CommentsCarriageReturnsAndPercentSigns) {
    write("# not shown\r\nshown 100%\r\n%s %n %d\n# also hidden\nlast line without end");
    int ok = 0;
    EXPECT_EQ(print(&ok), "shown 100%\n%s %n %d\nlast line without\nend");
    EXPECT_TRUE(ok);
}

TEST_F(HelpFile, MissingFileIsReported) {
    std::remove(path.c_str());
    int ok = 1;
    EXPECT_EQ(print(&ok), "");
    EXPECT_FALSE(ok);
}

TEST(ProgramFolder, JoinsTheFolderOrGivesNothing) {
    char out[PathSize];
    EXPECT_TRUE(joinBesideProgram("C:\\sim\\ombrane.exe", "helpfile.txt", out, sizeof out));
    EXPECT_STREQ(out, "C:\\sim\\helpfile.txt");
    EXPECT_TRUE(joinBesideProgram("/opt/sim/ombrane", "helpfile.txt", out, sizeof out));
    EXPECT_STREQ(out, "/opt/sim/helpfile.txt");
    EXPECT_TRUE(joinBesideProgram("ombrane.exe", "helpfile.txt", out, sizeof out));
    EXPECT_STREQ(out, "helpfile.txt");
    std::string deep = "C:\\" + std::string(250, 'd') + "\\ombrane.exe";
    EXPECT_FALSE(joinBesideProgram(deep.c_str(), "helpfile.txt", out, sizeof out));
    EXPECT_STREQ(out, "");
    char tiny[4] = "abc";
    EXPECT_FALSE(joinBesideProgram("C:\\x.exe", "h", tiny, sizeof tiny));
    EXPECT_STREQ(tiny, "");
}

TEST(FileMessages, NameInPlaceUntitledOrCut) {
    char out[MessageSize];
    formatFileMessage(out, sizeof out, "%s is not a csv file", "city.txt");
    EXPECT_STREQ(out, "city.txt is not a csv file");
    formatFileMessage(out, sizeof out, "SAVE to %s coming soon", "");
    EXPECT_STREQ(out, "SAVE to (untitled) coming soon");
    formatFileMessage(out, sizeof out, "%s looks like a report-file\r\n", nullptr);
    EXPECT_STREQ(out, "(untitled) looks like a report-file\r\n");
    char cut[MessageSize + 8];
    std::memset(cut, '@', sizeof cut);
    std::string name(400, 'n');
    formatFileMessage(cut, MessageSize, "SAVE to %s coming soon", name.c_str());
    EXPECT_EQ(std::strlen(cut), std::size_t(MessageSize - 1));
    EXPECT_EQ(cut[MessageSize], '@');
}

}  // namespace
