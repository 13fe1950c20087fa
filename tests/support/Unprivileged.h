#pragma once
// Runs part of a test as an unprivileged user (user and group 65534) in a forked
// child, so that the system's permission checks apply as they do for a user.
#include <functional>
#include <optional>
#include <string>

inline constexpr unsigned kUnprivilegedId = 65534;

// The text the body returned in the child (by convention empty when all was well),
// or none when privileges cannot be dropped here (the tests run without root).
// A child that ends abnormally gives a text that says so.
std::optional<std::string> RunUnprivileged(const std::function<std::string()>& body);
