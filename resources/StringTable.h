#pragma once
// The program's string table: texts keyed by the numeric ids the program uses
// ("string 194"). Texts are UTF-8; the table is built from resources/strings/*.txt.
#include <string>
#include <vector>

#include "resources/StringIds.h"

namespace resources {

// The text of the id, or an empty text when the table has no such entry.
const std::string& LoadString(int id);
bool HasString(int id);

// Lines of the table files that could not be read, and ids defined twice with
// different texts: a test keeps both lists empty.
std::vector<std::string> StringTableProblems();

}  // namespace resources
