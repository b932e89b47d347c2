// The words of the lab's pictures: what a varied column means, what a policy
// code does, and the groups' own names from the base file's W column.
#pragma once

#include "experiment.h"

#include <map>
#include <string>

using GroupNames = std::map<int, std::string>;

// Column W of each group row of a groups file (the group's name, which the
// simulator ignores); groups without one are left out. Nothing when the file
// cannot be read.
GroupNames readGroupNames(const std::string& path);

// "group 1", or "Trucks (group 1)" when the base names it.
std::string groupWords(int group, const GroupNames& names);

// "cars of group 1 (N)", "desired speed of Trucks (group 1, A)".
std::string varyWords(const Vary& v, const GroupNames& names);

// The same with the column's unit, for an axis: "desired speed of group 1 (A), mph".
std::string varyAxisWords(const Vary& v, const GroupNames& names);

// A value as the legend shows it: "850", or for a policy "1: keep right".
std::string valueWords(const Vary& v, const std::string& value);

// Text for a gnuplot title: nothing it would read as a quote or escape.
std::string gnuplotSafe(const std::string& s);
