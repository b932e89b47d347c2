// The earlier edition's Save and Help commands, without their window.
#include "front.h"

#include "core/platform.h"
#include "files/report.h"
#include "snapshot.h"

const char LegacyHelpText[] = "Help not yet implemented!";

void legacySaveCommand() {
    // Without a groups file there is nothing worth naming a snapshot after.
    if (!world.groupsPath[0])
        return;
    const char* name = saveFileName();
    if (!name)
        return;  // already logged
    if (!saveSnapshot(name))
        ConsoleLog("Can't save: The error was %s\r\n", world.errorText);
}
