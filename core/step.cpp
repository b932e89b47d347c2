// One car, one step: neighbours, speed, move, order, lane change.
#include "platform.h"
#include "sim.h"

#include <cfloat>

namespace {

constexpr float RestartThreshold = 10;  // mph: below it the start delay re-arms
constexpr float ZoneSpeed = 5;          // mph inside an active construction zone

bool insideZone(float position) {
    if (!world.edition->hasConstructionZone || !world.run.constructionZone)
        return false;
    float start = float(7.25 * double(world.rowLength));
    float end = float(7.75 * double(world.rowLength));
    return position > start && position < end;
}

// A groups file may hold any number. Whatever it holds, a speed stays finite
// and not negative, so that a position can never become negative or NaN (a
// NaN position would leave the ring without a seam). Sound groups never get
// here: their speeds lie between 0 and the desired speed, or 5 mph.
float usableSpeed(float speed) {
    if (!(speed >= 0))
        return 0;
    if (speed > FLT_MAX)
        return FLT_MAX;
    return speed;
}

}  // namespace

float desiredGap(int car) {
    const Car& c = world.cars[car];
    const Group& g = world.groups[c.group];
    return float(double(g.followDistance) * c.speed / g.desiredSpeed);
}

float freeGap(const GapView& view) {
    float distance = view.aheadDistance == NoCarDistance ? world.roadLength : view.aheadDistance;
    if (distance < world.carLength)
        return 0;
    return distance - world.carLength;
}

void stepCar(int car) {
    Car& c = world.cars[car];
    Group& g = world.groups[c.group];
    const bool drawing = world.edition->drawsCarsAsTheyMove;
    const int colour = g.colour;

    GapView view;
    computeGapsIndexed(car, view);
    float wanted = desiredGap(car);
    float free = freeGap(view);

    g.speedSum += c.speed;
    if (g.speedSamples < 0x7FFFFFFF)  // a run without report points must not overflow
        g.speedSamples++;

    float speed;
    if (free < wanted) {
        speed = float(double(free) * g.desiredSpeed / g.followDistance);
        if (speed < RestartThreshold)
            c.delay = g.startDelay;
    } else if (c.delay >= 1) {
        c.delay--;
        speed = c.speed;
    } else {
        speed = c.speed + accelerationToMphPerStep(g.acceleration);
    }
    if (speed > g.desiredSpeed)
        speed = g.desiredSpeed;
    if (insideZone(c.position))
        speed = ZoneSpeed;
    c.speed = usableSpeed(speed);

    if (drawing)
        DrawCar(world.drawContext, car, 0xFFFFFF);

    float advance = mphToFeetPerStep(c.speed);
    if (free < advance)
        advance = free;
    float position = c.position + advance;
    if (position > world.roadLength)
        position = position - world.roadLength;
    c.position = position;

    reorderCar(car);

    decideLaneChange(car, view, wanted);
    moveSideways(car);
    refreshLaneIndex(car);

    if (drawing)
        DrawCar(world.drawContext, car, colour);
}
