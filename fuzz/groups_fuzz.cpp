// Feeds arbitrary bytes to the groups-file reader as a file, in both
// editions, and checks what the reader promises whatever the file holds:
// no fault, bounded texts, group numbers and values the model can use.
#include "core/world.h"
#include "files/groups.h"
#include "commands/commands.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <string>
#include <unistd.h>

namespace {

char inputPath[PathSize];

void require(bool condition) {
    if (!condition)
        std::abort();
}

void requireBounded(const char* text, int size) {
    require(std::memchr(text, 0, std::size_t(size)) != nullptr);
}

void checkWorld() {
    requireBounded(world.errorText, ErrorSize);
    requireBounded(reader.columnLetters, ReaderLineSize);
    requireBounded(world.groupsPath, PathSize);
    requireBounded(world.groupsName, PathSize);
    requireBounded(world.reportPath, PathSize);
    for (const Group& g : world.groups) {
        for (float value : {g.desiredSpeed, g.acceleration, g.followDistance, g.leftAhead,
                            g.leftBehind, g.rightAhead, g.rightBehind, g.aheadZone,
                            g.behindZone, g.laneChangeTime})
            require(std::isfinite(value));
        require(g.carCount >= -1000000 && g.carCount <= 1000000);
        for (int count : g.laneCount)
            require(count >= -1000000 && count <= 1000000);
        require(g.reportFlag == 0 || g.reportFlag == 1);
    }
}

// One header line and one row straight from the input, without a file.
void readRowDirectly(const uint8_t* data, std::size_t size) {
    char letters[ReaderLineSize];
    char line[ReaderLineSize];
    std::size_t split = 0;
    while (split < size && data[split] != '\n')
        split++;
    std::size_t headerLength = split < sizeof line - 1 ? split : sizeof line - 1;
    std::memcpy(line, data, headerLength);
    line[headerLength] = 0;
    readHeaderRow(letters, line);
    std::size_t rest = split < size ? size - split - 1 : 0;
    std::size_t rowLength = rest < sizeof line - 1 ? rest : sizeof line - 1;
    std::memcpy(line, data + size - rest, rowLength);
    line[rowLength] = 0;
    int group = readGroupRow(line, letters);
    require(group >= 0 && group < MaxGroups);
}

// The rule the lab checks varied values with: any text, any letter, a
// bounded verdict.
void judgeFieldInEveryColumn(const uint8_t* data, std::size_t size) {
    char field[ReaderLineSize];
    std::size_t length = size < sizeof field - 1 ? size : sizeof field - 1;
    std::memcpy(field, data, length);
    field[length] = 0;
    for (char letter : std::string("#ZABCDEFGHIKLMNPQR1234W")) {
        char why[64];
        std::memset(why, '@', sizeof why);
        if (!readsAsWritten(letter, field, why, sizeof why))
            requireBounded(why, sizeof why);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The reader logs every oddity it meets; keep the fuzzer's own report
    // readable unless the log is asked for.
    if (!std::getenv("OMBRANE_FUZZ_LOG")) {
        int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0)
            ::dup2(null, 1);
    }
    const char* folder = std::getenv("TMPDIR");
    std::snprintf(inputPath, sizeof inputPath, "%s/ombrane-groups-fuzz-%d.csv",
                  folder && *folder ? folder : "/tmp", int(::getpid()));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(inputPath, "wb");
    if (!file)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    for (const Edition* edition : {&CurrentEdition, &LegacyEdition}) {
        resetWorld(*edition);
        resetReader();

        readGroupsFile(inputPath);
        checkWorld();
        require(world.groupRowsRead > 0 || world.errorText[0]);

        // Again through the Open command, with the letters the first read left.
        world.newGroupsPending = 0;
        int opened = openGroupsFile(inputPath, "fuzz.csv");
        checkWorld();
        require(opened == 0 || opened == 1);
        if (opened == 1)
            require(std::strstr(world.reportPath, ".report.csv") != nullptr);

        readRowDirectly(data, size);
        checkWorld();
        judgeFieldInEveryColumn(data, size);
    }
    chooseEdition(CurrentEdition);
    std::remove(inputPath);
    return 0;
}
