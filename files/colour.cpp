// Lookups in the named-colour table of column Z.
#include "files/groups.h"

#include "core/world.h"

#include <cstring>

int colourByName(const char* text) {
    if (!text)
        return -1;
    for (const ColourEntry& entry : ColourTable)
        if (std::strcmp(entry.name, text) == 0)
            return entry.value;
    return -1;
}

const char* colourName(int value) {
    for (const ColourEntry& entry : ColourTable)
        if (entry.value == value) {
            reader.rememberedColourName = entry.name;
            return entry.name;
        }
    // The group report prints whatever name it gets; an unknown value (a
    // legacy -1, say) shows the last colour named rather than nothing.
    return reader.rememberedColourName;
}
