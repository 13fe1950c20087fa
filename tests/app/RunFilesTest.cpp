// The files and names a run keeps: the recent-file list in the settings store and
// the external exit event.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "app/NamedExitEvent.h"
#include "app/ProgramFiles.h"
#include "app/RecentFileList.h"
#include "support/ScopedConfigDir.h"

namespace {

TEST(RecentFileListTest, KeepsFourLatestFirstAndDropsDeadEntries) {
  ScopedConfigDir config("z580-recent");
  auto file = [&](const std::string& name) {
    const std::string path = config.Path() + "/" + name;
    std::ofstream(path) << "x";
    return path;
  };
  RecentFileList list;
  for (const char* name : {"a.z580", "b.z580", "c.z580", "d.z580", "e.z580"}) list.Add(file(name));
  list.Add(config.Path() + "/c.z580");  // again: moves to the front
  ASSERT_EQ(list.Entries().size(), 4u);
  EXPECT_EQ(list.Entries()[0], config.Path() + "/c.z580");
  EXPECT_EQ(list.Entries()[1], config.Path() + "/e.z580");
  // An entry of the list itself, as the menu's second and third entries pass it.
  for (const size_t at : {1u, 2u}) {
    const std::string expected = list.Entries()[at];
    list.Add(list.Entries()[at]);
    EXPECT_EQ(list.Entries()[0], expected);
  }
  list.Add(config.Path() + "/c.z580");
  list.Add(config.Path() + "/e.z580");
  list.Add(config.Path() + "/c.z580");
  ASSERT_TRUE(list.Save());

  ::unlink((config.Path() + "/e.z580").c_str());
  RecentFileList loaded;
  loaded.Load();
  ASSERT_EQ(loaded.Entries().size(), 3u);
  EXPECT_EQ(loaded.Entries()[0], config.Path() + "/c.z580");
  EXPECT_EQ(loaded.Entries()[1], config.Path() + "/d.z580");

  // Fewer entries leave no stale slot behind.
  loaded.Remove(config.Path() + "/d.z580");
  ASSERT_TRUE(loaded.Save());
  RecentFileList again;
  again.Load();
  EXPECT_EQ(again.Entries().size(), 2u);
}

TEST(NamedExitEventTest, SetFromAnotherHandleAndUnlinkedOnlyByItsMaker) {
  const std::string name = "z580unit" + std::to_string(::getpid());
  {
    NamedExitEvent mine(name);
    ASSERT_TRUE(mine.IsValid());
    EXPECT_TRUE(mine.Created());
    EXPECT_FALSE(mine.IsSet());
    {
      NamedExitEvent other(name);
      ASSERT_TRUE(other.IsValid());
      EXPECT_FALSE(other.Created());
      other.Set();
      other.Set();
    }
    // Still there after the other handle went, and set stays set.
    EXPECT_TRUE(mine.IsSet());
    EXPECT_TRUE(mine.IsSet());
  }
  NamedExitEvent fresh(name);
  EXPECT_TRUE(fresh.Created());
  EXPECT_FALSE(fresh.IsSet());
  EXPECT_FALSE(NamedExitEvent("a/b").IsValid());
  EXPECT_FALSE(NamedExitEvent("").IsValid());
}

TEST(ProgramFilesTest, DataFileBesideTheProgramOrInTheInstalledDataFolder) {
  ScopedConfigDir dir("z580-data");
  const std::string bin = dir.Path() + "/bin/";
  ::mkdir(bin.c_str(), 0755);
  EXPECT_EQ(FindDataDirectory(bin), bin);  // neither: the loader reports it
  ::mkdir((dir.Path() + "/share").c_str(), 0755);
  ::mkdir((dir.Path() + "/share/zt580").c_str(), 0755);
  std::ofstream(dir.Path() + "/share/zt580/zt580.dat") << "x";
  EXPECT_EQ(FindDataDirectory(bin), bin + "../share/zt580/");
  std::ofstream(bin + "zt580.dat") << "x";
  EXPECT_EQ(FindDataDirectory(dir.Path() + "/bin"), bin);
  EXPECT_TRUE(FileHasContent(bin + "zt580.dat"));
  std::ofstream(bin + "empty").close();
  EXPECT_FALSE(FileHasContent(bin + "empty"));
  EXPECT_FALSE(FileHasContent(bin + "missing"));
}

}  // namespace
