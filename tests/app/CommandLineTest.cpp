// The command line of unattended runs: the switch table, the words that are file
// names, and what a batch run does first.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CmyCommandLineInfo.h"
#include "link/BatchSettings.h"

using namespace exchange;

namespace {

CmyCommandLineInfo Parse(std::vector<std::string> words, std::string start = "/start") {
  CmyCommandLineInfo info(std::move(start));
  info.ParseWords(words);
  return info;
}

TEST(CommandLineTest, SwitchesFillTheSettings) {
  struct Case {
    std::vector<std::string> words;
    uint32_t runFlags;
    uint8_t modeFlags;
  };
  const Case cases[] = {
      {{"/write"}, kRunBatch | kRunWrite, 0},
      {{"/WRITE"}, kRunBatch | kRunWrite, 0},
      {{"-read"}, kRunBatch | kRunRead, 0},
      {{"/close/aply"}, kRunBatch | kRunClose | kRunAply, 0},
      {{"/calibrate"}, kRunBatch | kRunCalibrate, 0},
      {{"/ext"}, kRunBatch, 0},
      {{"/silent"}, kRunBatch, kModeSilent | kModeAutoWriteOff | kModeAutoReadOff},
      {{"/test"}, kRunBatch, kModeTest},
      {{"/autoread:on", "/autowrite:OFF"}, kRunBatch, kModeAutoReadOn | kModeAutoWriteOff},
      {{"/autoread:maybe"}, kRunBatch, 0},
      {{"-whatever"}, kRunBatch, 0},
  };
  for (const Case& c : cases) {
    const CmyCommandLineInfo info = Parse(c.words);
    SCOPED_TRACE(c.words.front());
    EXPECT_EQ(info.batch.runFlags, c.runFlags);
    EXPECT_EQ(info.batch.modeFlags, c.modeFlags);
    EXPECT_TRUE(info.fileName.empty());
  }
}

TEST(CommandLineTest, LinkValuesAndTheirNumberForms) {
  const CmyCommandLineInfo info =
      Parse({"/Port:3/bps:0x2580", "/len:07", "/alen:11", "/addr:0X1F", "/sbit:1.5", "/prty:EVEN", "/rs485:off"});
  EXPECT_EQ(info.batch.runFlags, kRunBatch | kRunLinkSettings);
  EXPECT_EQ(info.batch.portNumber, 3);
  EXPECT_EQ(info.batch.baudRate, 9600u);
  EXPECT_EQ(info.batch.dataLength, 7);
  EXPECT_EQ(info.batch.addressLength, 11);
  EXPECT_EQ(info.batch.address, "0x1f");  // values are used in lower case
  EXPECT_EQ(info.batch.stopBits, "1.5");
  EXPECT_EQ(info.batch.parity, 1);
  EXPECT_EQ(info.batch.converterMode, 2);

  // 8-bit fields keep the low 8 bits; a value that does not convert changes nothing.
  const CmyCommandLineInfo wide = Parse({"/port:259", "/bps:fast", "/rs485:sometimes"});
  EXPECT_EQ(wide.batch.portNumber, 3);
  EXPECT_EQ(wide.batch.baudRate, 0u);
  EXPECT_EQ(wide.batch.converterMode, 0);
}

TEST(CommandLineTest, BadParityCancelsEarlierLinkValuesOnly) {
  EXPECT_EQ(Parse({"/prty:mark"}).batch.runFlags & kRunLinkSettings, 0u);
  const CmyCommandLineInfo after = Parse({"/port:2", "/prty:mark"});
  EXPECT_EQ(after.batch.runFlags & kRunLinkSettings, 0u);
  EXPECT_EQ(after.batch.parity, 0);
  EXPECT_EQ(after.batch.portNumber, 2);  // recorded, but not applied without the flag
  EXPECT_NE(Parse({"/prty:mark", "/port:2"}).batch.runFlags & kRunLinkSettings, 0u);
}

TEST(CommandLineTest, OverlongAddressAndStopBitsAreRefusedNotCut) {
  const CmyCommandLineInfo info = Parse({"/addr:123456", "/sbit:12345"});
  EXPECT_EQ(info.batch.address, "");
  EXPECT_EQ(info.batch.stopBits, "");
  EXPECT_EQ(info.batch.runFlags & kRunLinkSettings, 0u);
  // An address that is no number or too long ends the run; stop bits are ignored.
  ASSERT_EQ(info.warnings.size(), 1u);
  EXPECT_NE(info.warnings[0].find("sbit"), std::string::npos);
  for (const char* word : {"/addr:123456", "/addr:junk", "/addr:1O"}) {
    const CmyCommandLineInfo refused = Parse({word});
    ASSERT_EQ(refused.refusals.size(), 1u) << word;
    EXPECT_NE(refused.refusals[0].find(word), std::string::npos) << refused.refusals[0];
    EXPECT_EQ(refused.batch.address, "");
  }
  // The longest values that fit are taken.
  const CmyCommandLineInfo fits = Parse({"/addr:12345", "/sbit:1234"});
  EXPECT_EQ(fits.batch.address, "12345");
  EXPECT_EQ(fits.batch.stopBits, "1234");
  EXPECT_TRUE(fits.warnings.empty());
}

TEST(CommandLineTest, WhatTheRunIgnoresIsNamed) {
  struct Case {
    std::vector<std::string> words;
    std::string fileName;
    std::string named;  // the word the one line names; "" for no line
  } cases[] = {
      {{"/write", "/port:7", "/close", "/frobnicate", "good.z580"}, "/start/good.z580", "\"/frobnicate\""},
      {{"-Whatever", "good.z580"}, "/start/good.z580", "\"-Whatever\""},
      {{"/write/frob:1/close"}, "", "\"frob:1\""},
      {{"/read", "/tmp/new.z580"}, "/tmp/new.z580", ""},  // a file a read makes
  };
  for (const Case& c : cases) {
    const CmyCommandLineInfo info = Parse(c.words);
    SCOPED_TRACE(c.words.front() + " ... " + c.words.back());
    EXPECT_EQ(info.fileName, c.fileName);
    if (c.named.empty()) {
      EXPECT_TRUE(info.warnings.empty());
      continue;
    }
    ASSERT_EQ(info.warnings.size(), 1u);
    EXPECT_NE(info.warnings[0].find(c.named), std::string::npos) << info.warnings[0];
  }
}

TEST(CommandLineTest, WindowPlacementSwitches) {
  const CmyCommandLineInfo info = Parse({"/x:10/y:-20/w:800/h:0x258"});
  EXPECT_EQ(info.batch.windowFlags, kWindowX | kWindowY | kWindowWidth | kWindowHeight);
  EXPECT_EQ(info.batch.x, 10);
  EXPECT_EQ(info.batch.y, -20);
  EXPECT_EQ(info.batch.width, 800);
  EXPECT_EQ(info.batch.height, 600);
}

TEST(CommandLineTest, FileNamesKeepTheirCaseAndResolveAgainstTheStartDirectory) {
  EXPECT_EQ(Parse({"/write", "My File.z580"}).fileName, "/start/My File.z580");
  EXPECT_EQ(Parse({"Sub/Cfg.Z580"}, "/home/u/").fileName, "/home/u/Sub/Cfg.Z580");
  // An absolute path is a file name unless its first piece names a switch.
  EXPECT_EQ(Parse({"/tmp/Cfg.z580"}).fileName, "/tmp/Cfg.z580");
  EXPECT_EQ(Parse({"/tmp/Cfg.z580"}).batch.runFlags, 0u);
  EXPECT_EQ(Parse({"\"/tmp/a b.z580\""}).fileName, "/tmp/a b.z580");
  // The first file name counts.
  EXPECT_EQ(Parse({"a.z580", "b.z580"}).fileName, "/start/a.z580");
  EXPECT_TRUE(CmyCommandLineInfo::IsSwitchWord("/write"));
  EXPECT_TRUE(CmyCommandLineInfo::IsSwitchWord("/Port:3/bps:9600"));
  EXPECT_FALSE(CmyCommandLineInfo::IsSwitchWord("/home/write"));
  EXPECT_FALSE(CmyCommandLineInfo::IsSwitchWord("file.z580"));
}

TEST(CommandLineTest, ErrorLogAndExitEventTakeTheRestOfTheWordInItsCase) {
  const CmyCommandLineInfo info = Parse({"/read/elog:\"/var/Log/Run 1.txt\"", "/exitevent:MyEvent", "out.z580"});
  EXPECT_EQ(info.batch.runFlags, kRunBatch | kRunRead);
  EXPECT_EQ(info.errorLogPath, "/var/Log/Run 1.txt");
  EXPECT_EQ(info.exitEventName, "MyEvent");
  EXPECT_EQ(info.fileName, "/start/out.z580");
  EXPECT_EQ(Parse({"/elog:errors.log"}).errorLogPath, "/start/errors.log");
}

TEST(CommandLineTest, WhatABatchRunDoesFirst) {
  auto first = [](std::vector<std::string> words) { return FirstBatchCommand(Parse(std::move(words)).batch); };
  EXPECT_EQ(first({}), 0);
  EXPECT_EQ(first({"/close"}), 0);
  EXPECT_EQ(first({"/read"}), 139);
  EXPECT_EQ(first({"/read", "/write"}), 140);  // only the write runs
  EXPECT_EQ(first({"/calibrate", "/read"}), 303);

  BatchSettings write = Parse({"/write"}).batch;
  BatchSettings read = Parse({"/read"}).batch;
  EXPECT_NE(BatchFileProblem(write, ""), "");
  EXPECT_NE(BatchFileProblem(read, ""), "");
  EXPECT_NE(BatchFileProblem(write, "/no-such.z580"), "");
  EXPECT_EQ(BatchFileProblem(read, "/new.z580"), "");  // a read makes it
  EXPECT_EQ(BatchFileProblem(Parse({"/close"}).batch, ""), "");
}

}  // namespace
