// The manual page zt580(1): it renders without a warning, and it documents every
// switch the command line knows and every exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "support/ReadFile.h"

namespace {

TEST(ManPage, RendersWithoutWarningsAndCoversTheCommandLine) {
  const std::string page = std::string(std::getenv("Z580_SOURCE_DIR")) + "/resources/linux/zt580.1";
  const std::string out = std::string(std::getenv("Z580_BUILD_DIR")) + "/zt580.1.txt";
  const std::string errors = out + ".err";
  const std::string command = "MANWIDTH=80 MAN_KEEP_FORMATTING= LC_ALL=C.UTF-8 man --warnings -l '" + page + "' >'" +
                              out + "' 2>'" + errors + "'";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "man failed (install man-db and groff-base): " << testsupport::ReadFile(errors);
  EXPECT_EQ(testsupport::ReadFile(errors), "");
  const std::string text = testsupport::ReadFile(out);
  // The switches of the parser's table, and "-" as their other spelling.
  for (const char* word : {"/write", "/read", "/port:", "/bps:", "/prty:", "/addr:", "/len:", "/sbit:", "/alen:",
                           "/rs485:", "/aply", "/x:", "/y:", "/w:", "/h:", "/autoread:", "/autowrite:", "/silent",
                           "/close", "/calibrate", "/elog:", "/exitevent:", "/test", "-read", "/dev/ttyS",
                           "[ports]", "/z580-", "HKEY_CURRENT_USER.ini", "XDG_CONFIG_HOME"})
    EXPECT_NE(text.find(word), std::string::npos) << word;
  for (int code = 200; code <= 206; ++code)
    EXPECT_NE(text.find("\n       " + std::to_string(code) + "    "), std::string::npos) << code;
}

}  // namespace
