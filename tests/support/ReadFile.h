#pragma once
// The tests' one way to read a whole file: its bytes as they are on disk (no line
// ending translated), as a text or, with ReadFile<Bytes>, as bytes. Empty when the
// file cannot be read; a test that needs the file checks that it exists.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace testsupport {

template <class Out = std::string>
Out ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Out(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace testsupport
