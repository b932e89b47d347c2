#include "files/paths.h"

#include <cstring>

const char* pathExtension(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; p++)
        if (*p == '/' || *p == '\\')
            name = p + 1;
    const char* dot = std::strrchr(name, '.');
    return dot ? dot : name + std::strlen(name);
}

int copyText(char* dst, int size, const char* src) {
    std::size_t length = std::strlen(src);
    if (size <= 0 || length >= std::size_t(size))
        return 0;
    std::memmove(dst, src, length + 1);
    return 1;
}

int joinText(char* dst, int size, const char* head, int headLength,
             const char* middle, const char* tail) {
    std::size_t h = std::size_t(headLength), m = std::strlen(middle), t = std::strlen(tail);
    if (size <= 0 || headLength < 0 || h + m + t >= std::size_t(size))
        return 0;
    // Assemble aside first: middle or tail may point into dst itself.
    char joined[1024];
    if (h + m + t >= sizeof joined)
        return 0;
    std::memcpy(joined, head, h);
    std::memcpy(joined + h, middle, m);
    std::memcpy(joined + h + m, tail, t + 1);
    std::memcpy(dst, joined, h + m + t + 1);
    return 1;
}

const char* fileNameOf(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; p++)
        if (*p == '/' || *p == '\\')
            name = p + 1;
    return name;
}
