#include "shell_quote.h"

char controlCharacterIn(const std::string& s) {
    for (char c : s)
        if ((c > 0 && c < 0x20) || c == 0x7f)
            return c;
    return 0;
}

std::string shellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}
