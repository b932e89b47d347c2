// Text handling of the front end that needs no window: numbers typed into
// dialogs, the help printer, file names and message texts.
#pragma once

#include <cstddef>

enum {
    MessageSize = 324,      // file warnings shown in a message box
    HelpChunkLimit = 40,    // console columns
};

// Keeps only the decimal digits, in order, at the front of `text`. False when
// something other than a digit, blank, tab or comma was dropped.
int DigitFilter(char* text);

// Decimal value of a string of digits; 0 when empty, 2147483647 at most.
int numberFromDigits(const char* digits);

// What one chunk of the help file becomes on the console, given the chunk as
// read (at most HelpChunkLimit - 1 characters). `out` receives the text to
// print; false when the chunk is a comment and prints nothing.
int helpChunkText(const char* chunk, char* out, std::size_t size);

// Prints a text file to the console in 40-column chunks; false when it
// cannot be opened.
int PrintHelpFile(const char* path);

// Joins the folder of `programPath` with `fileName` into `out`. False (and
// an empty `out`) when the result would not fit.
int joinBesideProgram(const char* programPath, const char* fileName, char* out, std::size_t size);

// The file warning with the name in place of its %s, "(untitled)" for an
// empty name; cut to fit.
void formatFileMessage(char* out, std::size_t size, const char* format, const char* name);
