// The main window's title: program, groups file and run figures.
#pragma once

#include <cstddef>

enum { TitleSize = 520 };   // 519 characters and the terminator

// Formats the title from the world into `out`; a longer text is cut.
void formatTitle(char* out, std::size_t size);
