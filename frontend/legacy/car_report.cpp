// The earlier edition's car report: four console lines per click.
#include "front.h"

#include "core/platform.h"
#include "core/sim.h"

namespace {

// -1 for "no car", else the bumper-to-bumper gap (negative on overlap).
double gapOrNone(float distance) {
    if (distance == NoCarDistance)
        return -1;
    return double(distance) - world.carLength;
}

}  // namespace

void reportLegacyCar(int car) {
    if (car < 0 || car >= world.carTotal) {
        ConsoleLog(">>car NOT_FOUND\r\n-----------------\r\n");
        return;
    }
    const Car& c = world.cars[car];
    ConsoleLog(">>car %d: speed=%4.3f position_y=%4.1f position=%7.1f lane=%d change=%d group=%d index=%d\r\n",
               car, double(c.speed), double(c.lateral), double(c.position), c.lane, c.change, c.group, c.slot);

    // findNeighbours answers in a shared record; the gaps need a copy.
    Neighbours n = findNeighbours(car);
    ConsoleLog("aheads=[%3d, %3d, %3d, %3d] behinds=[%3d, %3d, %3d, %3d] behinds_nocl=[%3d, %3d, %3d, %3d]\r\n",
               n.aheadByLane[3], n.aheadByLane[2], n.aheadByLane[1], n.aheadByLane[0],
               n.behindByLane[3], n.behindByLane[2], n.behindByLane[1], n.behindByLane[0],
               n.euBehindByLane[3], n.euBehindByLane[2], n.euBehindByLane[1], n.euBehindByLane[0]);

    GapView v;
    computeGaps(n, v);
    ConsoleLog("LA=%4.1f LAs=%4.1f LB=%4.1f LBs=%4.1f A=%4.1f As=%4.1f EU=%4.1f, "
               "RA=%4.1f RAs=%4.1f RB=%4.1f RBs=%4.1f \r\n",
               gapOrNone(v.leftAheadDistance), double(v.leftAheadSpeed),
               gapOrNone(v.leftBehindDistance), double(v.leftBehindSpeed),
               gapOrNone(v.aheadDistance), double(v.aheadSpeed), gapOrNone(v.euBehindDistance),
               gapOrNone(v.rightAheadDistance), double(v.rightAheadSpeed),
               gapOrNone(v.rightBehindDistance), double(v.rightBehindSpeed));
    ConsoleLog("---------------------------------------------------------------\r\n");
}
