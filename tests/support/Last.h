#pragma once
// The last element of a recorded list; an empty list fails the test where Last was
// called and gives an empty value instead of reading past the list.
#include <gtest/gtest.h>

#include <source_location>

namespace testsupport {

template <class List>
auto Last(const List& list, std::source_location at = std::source_location::current()) {
  using Value = std::decay_t<decltype(list.back())>;
  if (list.empty()) {
    ADD_FAILURE_AT(at.file_name(), static_cast<int>(at.line())) << "the list is empty";
    return Value{};
  }
  return Value(list.back());
}

}  // namespace testsupport
