// Words for the shell commands the lab prints, for a shell or a job
// scheduler to run line by line.
#pragma once

#include <string>

// The first control character (0x01 to 0x1f, or 0x7f) in s, or 0 when there
// is none. A printed command must stay on one line, and no quoting the
// plain POSIX shell reads keeps a line feed inside a word on one line.
char controlCharacterIn(const std::string& s);

// s as one word of the POSIX shell, in single quotes: every byte other than
// the single quote stands for itself there ($, `, \, blanks, non-ASCII).
// s must hold no control character (see controlCharacterIn).
std::string shellQuote(const std::string& s);
