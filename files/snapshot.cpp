// Snapshot save-file: the world's counters, cars, groups and order ring as
// 32-bit little-endian words behind a 64-byte title header.
//
// Every word is written and read field by field, so the file does not depend
// on the compiler's layout or the machine's byte order. A restore checks the
// whole image before it changes anything: a damaged or crafted file could
// otherwise put a car index, lane or group outside its table, or a NaN
// position into the ring, and the next step would read out of bounds or
// never finish.
#include "snapshot.h"

#include "core/platform.h"
#include "core/sim.h"
#include "core/world.h"

#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr int WordBytes = 4;
constexpr int CarWords = 9;
constexpr int GroupWords = 25;
constexpr int CarBytes = CarWords * WordBytes;
constexpr int GroupBytes = GroupWords * WordBytes;
constexpr int HeaderBytes = int(sizeof world.title);

constexpr int RegionBytes[SnapshotRegionCount] = {
    HeaderBytes, WordBytes, WordBytes, WordBytes, MaxCars * CarBytes,
    WordBytes, MaxGroups * GroupBytes, WordBytes, MaxCars * WordBytes, WordBytes,
};

constexpr int sumOfRegions() {
    int total = 0;
    for (int size : RegionBytes)
        total += size;
    return total;
}
static_assert(sumOfRegions() == SnapshotSize, "the regions fill the save-file exactly");
static_assert(sizeof world.cars == MaxCars * CarBytes && sizeof world.groups == MaxGroups * GroupBytes
                  && sizeof world.order.slots == MaxCars * WordBytes,
              "every record word is a 32-bit field");

}  // namespace

const SnapshotRegion SnapshotRegions[] = {
    {world.title, RegionBytes[0], SnapshotText, "title"},
    {&world.reorderSwaps, RegionBytes[1], SnapshotInts, "reorderSwaps"},
    {&world.groupsWithCars, RegionBytes[2], SnapshotInts, "groupsWithCars"},
    {&world.run.stepCount, RegionBytes[3], SnapshotInts, "stepCount"},
    {world.cars, RegionBytes[4], SnapshotCars, "cars"},
    {&world.carTotal, RegionBytes[5], SnapshotInts, "carTotal"},
    {world.groups, RegionBytes[6], SnapshotGroups, "groups"},
    {&world.carCountsRead, RegionBytes[7], SnapshotInts, "carCountsRead"},
    {world.order.slots, RegionBytes[8], SnapshotInts, "order.slots"},
    {&world.order.count, RegionBytes[9], SnapshotInts, "order.count"},
    {nullptr, 0, SnapshotText, nullptr},
};

namespace {

// Fixed offsets that the counts and the ring are read from before anything
// is decoded.
constexpr int StepCountAt = 72;
constexpr int CarsAt = 76;
constexpr int CarTotalAt = 90076;
constexpr int GroupsAt = 90080;
constexpr int SlotsAt = 95084;
constexpr int OrderCountAt = 105084;

constexpr int regionOffset(int region) {
    int offset = 0;
    for (int i = 0; i < region; i++)
        offset += RegionBytes[i];
    return offset;
}
static_assert(regionOffset(3) == StepCountAt && regionOffset(4) == CarsAt && regionOffset(5) == CarTotalAt
                  && regionOffset(6) == GroupsAt && regionOffset(8) == SlotsAt
                  && regionOffset(9) == OrderCountAt,
              "the fields read before decoding sit where the regions put them");

// The whole file, and one byte more to tell a longer file from a complete one.
unsigned char image[SnapshotSize + 1];

unsigned char* putWord(unsigned char* p, uint32_t value) {
    p[0] = uint8_t(value);
    p[1] = uint8_t(value >> 8);
    p[2] = uint8_t(value >> 16);
    p[3] = uint8_t(value >> 24);
    return p + WordBytes;
}

uint32_t getWord(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

unsigned char* putInt(unsigned char* p, int value) { return putWord(p, uint32_t(value)); }

unsigned char* putFloat(unsigned char* p, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return putWord(p, bits);
}

int getInt(const unsigned char*& p) {
    int value = int(getWord(p));
    p += WordBytes;
    return value;
}

float getFloat(const unsigned char*& p) {
    uint32_t bits = getWord(p);
    p += WordBytes;
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

unsigned char* putCar(unsigned char* p, const Car& car) {
    p = putFloat(p, car.position);
    p = putFloat(p, car.lateral);
    p = putFloat(p, car.speed);
    p = putInt(p, car.delay);
    p = putInt(p, car.lane);
    p = putInt(p, car.change);
    p = putInt(p, car.lastChange);
    p = putInt(p, car.group);
    return putInt(p, car.slot);
}

Car getCar(const unsigned char* p) {
    Car car;
    car.position = getFloat(p);
    car.lateral = getFloat(p);
    car.speed = getFloat(p);
    car.delay = getInt(p);
    car.lane = getInt(p);
    car.change = getInt(p);
    car.lastChange = getInt(p);
    car.group = getInt(p);
    car.slot = getInt(p);
    return car;
}

unsigned char* putGroup(unsigned char* p, const Group& group) {
    p = putInt(p, group.colour);
    p = putFloat(p, group.desiredSpeed);
    p = putFloat(p, group.acceleration);
    p = putFloat(p, group.followDistance);
    p = putInt(p, group.startDelay);
    p = putInt(p, group.preferredLane);
    p = putInt(p, group.hasPreferredLane);
    p = putInt(p, group.leftPolicy);
    p = putFloat(p, group.leftAhead);
    p = putFloat(p, group.leftBehind);
    p = putInt(p, group.rightPolicy);
    p = putFloat(p, group.rightAhead);
    p = putFloat(p, group.rightBehind);
    p = putFloat(p, group.aheadZone);
    p = putFloat(p, group.behindZone);
    p = putFloat(p, group.laneChangeTime);
    p = putInt(p, group.carCount);
    for (int lane = 0; lane < LaneTotal; lane++)
        p = putInt(p, group.laneCount[lane]);
    p = putInt(p, group.reportFlag);
    p = putInt(p, group.speedSamples);
    p = putFloat(p, group.speedSum);
    return putFloat(p, group.averageSpeed);
}

Group getGroup(const unsigned char* p) {
    Group group;
    group.colour = getInt(p);
    group.desiredSpeed = getFloat(p);
    group.acceleration = getFloat(p);
    group.followDistance = getFloat(p);
    group.startDelay = getInt(p);
    group.preferredLane = getInt(p);
    group.hasPreferredLane = getInt(p);
    group.leftPolicy = getInt(p);
    group.leftAhead = getFloat(p);
    group.leftBehind = getFloat(p);
    group.rightPolicy = getInt(p);
    group.rightAhead = getFloat(p);
    group.rightBehind = getFloat(p);
    group.aheadZone = getFloat(p);
    group.behindZone = getFloat(p);
    group.laneChangeTime = getFloat(p);
    group.carCount = getInt(p);
    for (int lane = 0; lane < LaneTotal; lane++)
        group.laneCount[lane] = getInt(p);
    group.reportFlag = getInt(p);
    group.speedSamples = getInt(p);
    group.speedSum = getFloat(p);
    group.averageSpeed = getFloat(p);
    return group;
}

void encodeRegion(unsigned char* p, const SnapshotRegion& region) {
    switch (region.kind) {
    case SnapshotText: {
        // The title text and zero bytes to the end of the header, whatever
        // the buffer held behind the text.
        const char* text = static_cast<const char*>(region.location);
        int length = int(strnlen(text, size_t(region.size)));
        std::memcpy(p, text, size_t(length));
        std::memset(p + length, 0, size_t(region.size - length));
        break;
    }
    case SnapshotInts: {
        const int* words = static_cast<const int*>(region.location);
        for (int i = 0; i < region.size / WordBytes; i++)
            p = putInt(p, words[i]);
        break;
    }
    case SnapshotCars: {
        const Car* cars = static_cast<const Car*>(region.location);
        for (int i = 0; i < region.size / CarBytes; i++)
            p = putCar(p, cars[i]);
        break;
    }
    case SnapshotGroups: {
        const Group* groups = static_cast<const Group*>(region.location);
        for (int i = 0; i < region.size / GroupBytes; i++)
            p = putGroup(p, groups[i]);
        break;
    }
    }
}

void decodeRegion(const unsigned char* p, const SnapshotRegion& region) {
    switch (region.kind) {
    case SnapshotText:
        break;  // the header identifies the file; the world keeps its own title
    case SnapshotInts: {
        int* words = static_cast<int*>(region.location);
        for (int i = 0; i < region.size / WordBytes; i++)
            words[i] = getInt(p);
        break;
    }
    case SnapshotCars: {
        Car* cars = static_cast<Car*>(region.location);
        for (int i = 0; i < region.size / CarBytes; i++)
            cars[i] = getCar(p + i * CarBytes);
        break;
    }
    case SnapshotGroups: {
        Group* groups = static_cast<Group*>(region.location);
        for (int i = 0; i < region.size / GroupBytes; i++)
            groups[i] = getGroup(p + i * GroupBytes);
        break;
    }
    }
}

int intAt(int offset) {
    const unsigned char* p = image + offset;
    return getInt(p);
}

Car carAt(int car) { return getCar(image + CarsAt + car * CarBytes); }

// Sets errorText and gives the failure result.
#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
int refuse(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(world.errorText, sizeof world.errorText, format, args);
    va_end(args);
    return 0;
}

// Highest speed at which one step still moves a car less than the whole
// roadway, so that the single wrap of the motion step keeps it on the road.
double fastestSpeed() { return double(world.roadLength) * 3600.0 * world.stepsPerSecond / 5280.0; }

int outOfRange(int car, const char* field, int value, int highest) {
    return refuse("Damaged save-file: car %d has %s %d, outside 0 to %d", car, field, value, highest);
}

int checkCar(int index, const Car& car) {
    if (car.lane < 0 || car.lane >= LaneTotal)
        return outOfRange(index, "lane", car.lane, LaneTotal - 1);
    if (car.change < NoChange || car.change > MovingLeft)
        return outOfRange(index, "change", car.change, MovingLeft);
    if (car.lastChange < NoChange || car.lastChange > MovingLeft)
        return outOfRange(index, "lastChange", car.lastChange, MovingLeft);
    if (car.group < 0 || car.group >= MaxGroups)
        return outOfRange(index, "group", car.group, MaxGroups - 1);
    // A change heads for lane - 1 (right) or lane + 1 (left).
    if ((car.change == MovingRight && car.lane == 0) || (car.change == MovingLeft && car.lane == LeftmostLane))
        return refuse("Damaged save-file: car %d changes from lane %d off the road", index, car.lane);
    if (!(car.position >= 0 && car.position <= world.roadLength))
        return refuse("Damaged save-file: car %d has position %g, outside 0 to %g", index,
                      double(car.position), double(world.roadLength));
    if (!(car.speed >= 0 && car.speed <= fastestSpeed()))
        return refuse("Damaged save-file: car %d has speed %g, outside 0 to %g", index,
                      double(car.speed), fastestSpeed());
    if (!std::isfinite(car.lateral))
        return refuse("Damaged save-file: car %d has lateral offset %g", index, double(car.lateral));
    // The offset grows on the side the car is moving to and is 0 between
    // changes; one on the other side would carry the car past the outer lanes
    // at the next step.
    if (car.change == NoChange && car.lateral != 0)
        return refuse("Damaged save-file: car %d has lateral offset %g but is not changing lanes", index,
                      double(car.lateral));
    if ((car.change == MovingRight && car.lateral < 0) || (car.change == MovingLeft && car.lateral > 0))
        return refuse("Damaged save-file: car %d has lateral offset %g but is moving %s", index,
                      double(car.lateral), car.change == MovingRight ? "right" : "left");
    return 1;
}

// The ring must be sorted by position round the road: read from any entry,
// positions rise to the seam, fall once, and rise again. More than one fall
// would let cars drive through each other until the reorder had sorted it.
int checkRingOrder(int count) {
    int falls = 0;
    for (int entry = 0; entry < count; entry++) {
        int next = entry + 1 == count ? 0 : entry + 1;
        float here = carAt(intAt(SlotsAt + entry * WordBytes)).position;
        float after = carAt(intAt(SlotsAt + next * WordBytes)).position;
        if (here > after && ++falls > 1)
            return refuse("Damaged save-file: order ring not sorted by position: entry %d at %g is "
                          "followed by %g", entry, double(here), double(after));
    }
    return 1;
}

struct GroupFloat {
    float Group::*field;
    const char* name;
};
const GroupFloat GroupFloats[] = {
    {&Group::desiredSpeed, "desiredSpeed"},     {&Group::acceleration, "acceleration"},
    {&Group::followDistance, "followDistance"}, {&Group::leftAhead, "leftAhead"},
    {&Group::leftBehind, "leftBehind"},         {&Group::rightAhead, "rightAhead"},
    {&Group::rightBehind, "rightBehind"},       {&Group::aheadZone, "aheadZone"},
    {&Group::behindZone, "behindZone"},         {&Group::laneChangeTime, "laneChangeTime"},
    {&Group::speedSum, "speedSum"},             {&Group::averageSpeed, "averageSpeed"},
};

// Everything the simulation indexes with or loops over must be in range
// before the first region reaches the world.
int checkImage() {
    int carTotal = intAt(CarTotalAt);
    int count = intAt(OrderCountAt);
    if (carTotal < 0 || carTotal > MaxCars)
        return refuse("Damaged save-file: car count %d, outside 0 to %d", carTotal, int(MaxCars));
    if (count != carTotal)
        return refuse("Damaged save-file: car count %d but %d cars in the order ring", carTotal, count);
    int stepCount = intAt(StepCountAt);
    if (stepCount < 0)
        return refuse("Damaged save-file: step count %d is negative", stepCount);

    // With as many entries as cars, "every entry names a car in use whose
    // slot names the entry" makes the ring a permutation: two entries cannot
    // name the same car, whose slot points at only one of them.
    for (int entry = 0; entry < count; entry++) {
        int car = intAt(SlotsAt + entry * WordBytes);
        if (car < 0 || car >= carTotal)
            return refuse("Damaged save-file: order entry %d holds car %d, outside 0 to %d", entry, car,
                          carTotal - 1);
        int slot = carAt(car).slot;
        if (slot != entry)
            return refuse("Damaged save-file: order entry %d holds car %d, whose slot is %d", entry, car,
                          slot);
    }
    for (int car = 0; car < carTotal; car++)
        if (!checkCar(car, carAt(car)))
            return 0;
    if (!checkRingOrder(count))
        return 0;
    for (int index = 0; index < MaxGroups; index++) {
        Group group = getGroup(image + GroupsAt + index * GroupBytes);
        for (const GroupFloat& f : GroupFloats)
            if (!std::isfinite(group.*f.field))
                return refuse("Damaged save-file: group %d has %s %g", index, f.name, double(group.*f.field));
    }
    return 1;
}

}  // namespace

int saveSnapshot(const char* path) {
    world.errorText[0] = 0;
    std::FILE* file = std::fopen(path, "wb");
    if (!file)
        return refuse("Cannot create save-file %s", path);

    int complete = 1;
    unsigned char* p = image;
    for (const SnapshotRegion* region = SnapshotRegions; region->location; region++) {
        encodeRegion(p, *region);
        size_t written = std::fwrite(p, 1, size_t(region->size), file);
        if (written != size_t(region->size)) {
            ConsoleLog("Count=%d fwrite\r\n", int(written));
            complete = 0;
        }
        p += region->size;
    }
    // A full disk often shows only when the buffered tail is flushed.
    if (std::fclose(file) != 0)
        complete = 0;
    if (!complete)
        return refuse("Cannot write save-file %s", path);

    ConsoleLog("Created filename %s at step %d of %s\r\n", path, world.run.stepCount, world.groupsName);
    return 1;
}

int restoreSnapshot(const char* path) {
    world.errorText[0] = 0;
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return refuse("Cannot read %s", path);

    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0)
        size = std::ftell(file);
    std::rewind(file);
    long read = long(std::fread(image, 1, sizeof image, file));
    long expected = size < 0 || size > long(sizeof image) ? long(sizeof image) : size;
    if (size >= 0 && read < expected)
        ConsoleLog("fread read %d elements, ferror=%d, feof=%d\r\n", int(read), std::ferror(file) ? 1 : 0,
                   std::feof(file) ? 1 : 0);
    std::fclose(file);

    // Only the bytes actually read count, whatever the seek said.
    if (read <= long(HeaderBytes) || strnlen(reinterpret_cast<const char*>(image), HeaderBytes) == size_t(HeaderBytes)
        || std::strcmp(reinterpret_cast<const char*>(image), world.title) != 0)
        return refuse("%s is not a %s save-file", path, world.title);
    if (read > SnapshotSize)
        return refuse("Damaged save-file: longer than %d bytes", int(SnapshotSize));
    if (read < SnapshotSize)
        return refuse("Damaged save-file: %ld bytes instead of %d", read, int(SnapshotSize));
    if (!checkImage())
        return 0;

    const unsigned char* p = image + HeaderBytes;
    for (const SnapshotRegion* region = SnapshotRegions + 1; region->location; region++) {
        decodeRegion(p, *region);
        p += region->size;
    }
    invalidateLaneIndex();
    return 1;
}
