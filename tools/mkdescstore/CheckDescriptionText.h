#pragma once
#include <string>
#include <string_view>
#include <vector>

// Parses one description text (Windows-1251 bytes, CR LF line ends, exactly as
// the program reads it from the store) and appends a message per fault found.
// True when the text parses cleanly.
bool CheckDescriptionText(std::string_view name, std::string_view text, std::vector<std::string>& messages);
