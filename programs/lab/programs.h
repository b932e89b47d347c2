// Other programs: quoting paths for the bash scripts submit writes, and
// running a program (sbatch, scontrol, squeue) to read what it prints.
#pragma once

#include <string>
#include <vector>

// s as one bash word that means s exactly, whatever it holds: as it is when
// it is plain, else in single quotes with ' as \' and control characters (a
// newline in a folder name) as $'\NNN', so that every line of a script
// stays one line. ($'...' is bash's, not the plain POSIX shell's: the
// scripts say #!/bin/bash.)
std::string bashQuote(const std::string& s);

// The program's path from PATH, or empty when it is not there (a name with a
// slash is itself the path).
std::string findOnPath(const std::string& name);

// Runs argv (argv[0] looked up on PATH) with no shell, reading its standard
// output and error. Returns its exit status, 128 + N for signal N, or 127
// when it cannot be started (the reason then in err).
int runProgram(const std::vector<std::string>& argv, std::string& out, std::string& err);
