#pragma once
// The plain records a description text is parsed into: parameter descriptions,
// constants and named types.
#include <cstdint>
#include <string>

struct DescParameter {
  std::string name;     // as written: may begin with '!' (read-only)
  std::string type;     // type word, "word:digit", or an enumeration "a:b:c"
  std::string caption;  // '_' stands for a blank
  double lower = 0;
  double upper = 0;
  std::uint8_t attribute = 1;  // 0 from "noattr"
  std::string initialValue;
  int table = 0;  // 0-5
  int number = 0;
  int mode = 0;  // 0, 1 ('+') or 2 ('*')
};

struct DescConst {
  std::string name;
  double value = 0;
};

struct DescType {
  std::string name;
  std::string type;
};
