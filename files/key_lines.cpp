// Reading KEY = VALUE files, shared by the scenario and experiment readers.
#include "files/key_lines.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

std::string trim(const std::string& s) {
    std::size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos)
        return "";
    std::size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    // A byte-order mark, as some Windows editors save UTF-8.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        start = 3;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1 + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n');
    }
    return lines;
}

std::vector<TextLine> meaningfulLines(const std::string& text) {
    std::vector<TextLine> lines;
    int number = 0;
    for (const std::string& raw : splitLines(text)) {
        number++;
        std::string line = trim(raw.substr(0, raw.find('#')));
        if (!line.empty())
            lines.push_back({number, line});
    }
    return lines;
}

bool splitKeyValue(const std::string& line, std::string& key, std::string& value) {
    std::size_t eq = line.find('=');
    if (eq == std::string::npos)
        return false;
    key = trim(line.substr(0, eq));
    value = trim(line.substr(eq + 1));
    return true;
}

std::vector<std::string> splitList(const std::string& s) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t comma = s.find(',', start);
        parts.push_back(trim(s.substr(start, comma == std::string::npos ? std::string::npos
                                                                          : comma - start)));
        if (comma == std::string::npos)
            return parts;
        start = comma + 1;
    }
}

bool wholeNumber(const std::string& text, long low, long high, long* out) {
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(text.c_str(), &end, 10);
    if (errno || *end || value < low || value > high)
        return false;
    *out = value;
    return true;
}

bool realNumber(const std::string& text, double* out) {
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    double value = std::strtod(text.c_str(), &end);
    if (errno || *end || !std::isfinite(value))
        return false;
    *out = value;
    return true;
}

std::string lineProblem(const std::string& path, int line, const std::string& reason) {
    if (line <= 0)
        return path + ": " + reason;
    return path + ":" + std::to_string(line) + ": " + reason;
}

bool readWholeFile(const std::string& path, std::string& text, std::string& problem) {
    std::error_code error;
    // A folder opens as a stream on some systems, but reads as nothing.
    if (!std::filesystem::is_regular_file(path, error)) {
        problem = path + ": cannot read it";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        problem = path + ": cannot read it";
        return false;
    }
    std::ostringstream all;
    if (in.peek() != std::ifstream::traits_type::eof())
        all << in.rdbuf();
    text = all.str();
    return true;
}

std::string besideFile(const std::string& from, const std::string& name) {
    if (!name.empty() && (name[0] == '/' || name[0] == '\\' || (name.size() > 1 && name[1] == ':')))
        return name;
    std::size_t slash = from.find_last_of("/\\");
    if (slash == std::string::npos)
        return name;
    return from.substr(0, slash + 1) + name;
}
