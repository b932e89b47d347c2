#include "title.h"

#include "core/world.h"

#include <cstdio>

void formatTitle(char* out, std::size_t size) {
    if (size == 0)
        return;
    const char* name = world.groupsName[0] ? world.groupsName : "Default";
    const char* line = world.hasTitleLine ? world.titleLine : "";
    if (world.edition->titleShowsTickTime) {
        std::snprintf(out, size, "%s - %s       #(%12d)       %d cars = [%4dms]/sec     %s",
                      world.title, name, world.run.stepCount, world.carTotal,
                      world.run.tickMillis * world.stepsPerSecond, line);
        return;
    }
    std::snprintf(out, size, "%s - %s       #(%12d)%d  x%d   %d cars      %s",
                  world.title, name, world.run.stepCount, world.run.stepTo,
                  world.run.speedMultiplier, world.carTotal, line);
}
