#include "text.h"

#include "core/platform.h"
#include "files/groups.h"

#include <cstdio>
#include <cstring>

int DigitFilter(char* text) {
    int clean = 1;
    char* to = text;
    for (const char* from = text; *from; from++) {
        char c = *from;
        if (c >= '0' && c <= '9')
            *to++ = c;
        else if (c != ' ' && c != '\t' && c != ',')
            clean = 0;
    }
    *to = 0;
    return clean;
}

int numberFromDigits(const char* digits) {
    long long value = 0;
    for (const char* p = digits; *p >= '0' && *p <= '9'; p++) {
        value = value * 10 + (*p - '0');
        if (value > 2147483647LL)
            return 2147483647;
    }
    return int(value);
}

static int isBlank(char c) { return c == ' ' || c == '\t'; }

int helpChunkText(const char* chunk, char* out, std::size_t size) {
    if (size == 0)
        return 0;
    out[0] = 0;
    if (chunk[0] == '#')
        return 0;
    std::size_t length = std::strlen(chunk);
    if (length == 0)
        return 1;
    char last = chunk[length - 1];
    if (last == '\n') {
        std::snprintf(out, size, "%s", chunk);
    } else if (isBlank(last)) {
        std::snprintf(out, size, "%s\r\n", chunk);
    } else {
        // A piece of a longer line: end the console line at its last blank,
        // so the rest of the word continues with the next chunk.
        std::snprintf(out, size, "%s", chunk);
        for (std::size_t i = std::strlen(out); i-- > 0;) {
            if (isBlank(out[i])) {
                out[i] = '\n';
                break;
            }
        }
    }
    return 1;
}

int PrintHelpFile(const char* path) {
    std::FILE* file = std::fopen(path, "r");
    if (!file)
        return 0;
    char chunk[HelpChunkLimit];
    char text[HelpChunkLimit + 4];
    for (;;) {
        int full = 0;
        if (readLine(chunk, HelpChunkLimit, file, &full) <= 1)
            break;
        if (helpChunkText(chunk, text, sizeof text))
            ConsoleLog("%s", text);
    }
    std::fclose(file);
    return 1;
}

int joinBesideProgram(const char* programPath, const char* fileName, char* out, std::size_t size) {
    if (size == 0)
        return 0;
    out[0] = 0;
    std::size_t folder = 0;
    for (std::size_t i = 0; programPath[i]; i++)
        if (programPath[i] == '\\' || programPath[i] == '/')
            folder = i + 1;
    // The folder keeps its trailing separator; a bare program name has none.
    int n = std::snprintf(out, size, "%.*s%s", int(folder), programPath, fileName);
    if (n < 0 || std::size_t(n) >= size) {
        out[0] = 0;
        return 0;
    }
    return 1;
}

void formatFileMessage(char* out, std::size_t size, const char* format, const char* name) {
    if (size == 0)
        return;
    const char* shown = name && name[0] ? name : "(untitled)";
    // The format is the program's own text with one %s for the name.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    std::snprintf(out, size, format, shown);
#pragma GCC diagnostic pop
}
