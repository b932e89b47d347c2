// The hooks' only definitions: the programs set them, the tick calls them.
#include "hooks.h"

ReportWriter reportWriter;
RunObserver runObserver;

void tellObserver(RunEvent event) {
    if (runObserver)
        runObserver(event);
}
