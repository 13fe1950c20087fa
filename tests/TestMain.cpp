// The main of every test suite. Under ctest the environment names the build and
// source folders; run bare (build-test/tests/tests_ui --gtest_filter=...), a suite
// finds them from its own location: the build folder is the first one above the
// program holding CMakeCache.txt, and that file names the source folder. What
// cannot be found ends the run with one line saying so. The window suites run
// offscreen unless QT_QPA_PLATFORM says otherwise (the *Xvfb* ones need
// QT_QPA_PLATFORM=xcb under xvfb-run).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

fs::path FindBuildDir(const fs::path& start) {
  for (fs::path dir = start; !dir.empty(); dir = dir.parent_path()) {
    std::error_code error;
    if (fs::is_regular_file(dir / "CMakeCache.txt", error)) return dir;
    if (dir == dir.root_path()) break;
  }
  return {};
}

std::string CachedValue(const fs::path& cache, const std::string& key) {
  std::ifstream in(cache);
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(key + ":", 0) == 0) {
      const size_t eq = line.find('=');
      if (eq != std::string::npos) return line.substr(eq + 1);
    }
  return {};
}

void Default(const char* name, const std::string& value) { setenv(name, value.c_str(), 0); }

// False (having said why on standard error) when a folder the suites need is missing.
bool SetUpEnvironment(const char* argv0) {
  const std::string self = fs::path(argv0 ? argv0 : "tests").filename().string();
  auto missing = [&](const std::string& what) {
    std::fprintf(stderr, "%s: %s\n", self.c_str(), what.c_str());
    return false;
  };
  if (std::getenv("Z580_BUILD_DIR") && std::getenv("Z580_SOURCE_DIR") && std::getenv("Z580_FIXTURES")) return true;
  std::error_code error;
  const fs::path exe = fs::read_symlink("/proc/self/exe", error);
  if (error) return missing("cannot read /proc/self/exe to find the build folder; set Z580_BUILD_DIR");
  const char* given = std::getenv("Z580_BUILD_DIR");
  const fs::path build = given ? fs::path(given) : FindBuildDir(exe.parent_path());
  if (build.empty() || !fs::is_regular_file(build / "CMakeCache.txt", error))
    return missing("no CMakeCache.txt in " + (given ? build.string() : "any folder above " + exe.string()) +
                   "; set Z580_BUILD_DIR to the build folder");
  const char* givenSource = std::getenv("Z580_SOURCE_DIR");
  const fs::path source = givenSource ? fs::path(givenSource) : fs::path(CachedValue(build / "CMakeCache.txt", "CMAKE_HOME_DIRECTORY"));
  if (source.empty() || !fs::is_directory(source / "tests" / "fixtures", error))
    return missing("no source folder with tests/fixtures (from " + (build / "CMakeCache.txt").string() +
                   "); set Z580_SOURCE_DIR");
  // Bare runs get what ctest gives: these folders, the settings in the build folder
  // rather than the user's own, no display, and the sanitizers' options.
  const bool bare = !given;
  Default("Z580_BUILD_DIR", build.string());
  Default("Z580_SOURCE_DIR", source.string());
  Default("Z580_FIXTURES", (source / "tests" / "fixtures").string());
  if (bare) {
    setenv("XDG_CONFIG_HOME", (build / "test-config").c_str(), 1);
    Default("QT_QPA_PLATFORM", "offscreen");
    Default("UBSAN_OPTIONS", "print_stacktrace=1:halt_on_error=1");
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (!SetUpEnvironment(argc > 0 ? argv[0] : nullptr)) return 1;
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
