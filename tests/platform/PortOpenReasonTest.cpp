// Why a port cannot be opened, as the user reads it, from the real failures of the
// serial port; and the stable converter names in the port list.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

#include "platform/PortOpenReason.h"
#include "platform/Sio.h"
#include "support/ScopedConfigDir.h"
#include "support/Unprivileged.h"

namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class PortOpenReason : public ::testing::Test {
 protected:
  void SetUp() override {
    config_.emplace("z580-reasons");
    root_ = config_->Path();
  }
  std::string root_;
  std::optional<ScopedConfigDir> config_;
};

TEST_F(PortOpenReason, EachFailureOfTheSerialPortIsNamed) {
  // No such device.
  Sio missing;
  missing.portName = root_ + "/ttyNone";
  EXPECT_EQ(missing.Open(), -1);
  EXPECT_TRUE(Contains(platform::PortOpenFailureReason(missing.lastOpenErrno, missing.portName, missing.portName),
                       "не существует"));
  EXPECT_TRUE(Contains(platform::PortOpenFailureReason(ENOENT, "COM0", ""), "устройство COM0 не существует"));

  // Not a terminal.
  const std::string plain = root_ + "/plain";
  std::ofstream(plain) << "x";
  Sio file;
  file.portName = plain;
  EXPECT_EQ(file.Open(), -2);
  EXPECT_EQ(file.lastOpenErrno, ENOTTY);
  EXPECT_TRUE(Contains(platform::PortOpenFailureReason(file.lastOpenErrno, plain, plain), "не является"));

  // Held by another program.
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  Sio first, second;
  first.portName = second.portName = ::ptsname(master);
  ASSERT_EQ(first.Open(), 0);
  EXPECT_EQ(second.Open(), -1);
  EXPECT_TRUE(Contains(platform::PortOpenFailureReason(second.lastOpenErrno, second.portName, second.portName),
                       "занят другой программой"));
  first.Close();

  // A setting the line does not take is named with its value.
  struct Refused {
    void (*set)(Sio&);
    const char* named;
  } const refused[] = {
      {[](Sio& p) { p.parityCode = 7; }, "контроль четности"},
      {[](Sio& p) { p.baudRate = 12345; }, "скорость 12345 бит/с"},
      {[](Sio& p) { p.dataBits = 9; }, "длину данных 9 бит"},
      {[](Sio& p) { p.stopBits = 3; }, "число стоповых бит 3"},
  };
  for (const Refused& r : refused) {
    Sio port;
    port.portName = first.portName;
    r.set(port);
    EXPECT_NE(port.Open(), 0) << r.named;
    const std::string reason = platform::PortSettingsRefusalReason(port, port.portName);
    EXPECT_TRUE(Contains(reason, r.named)) << reason;
    EXPECT_TRUE(Contains(reason, port.portName)) << reason;
  }
  ::close(master);

  // Without a device file to look at, the hint stays general.
  EXPECT_TRUE(Contains(platform::PortOpenFailureReason(EACCES, "COM9", ""), "группу, которой"));

  EXPECT_EQ(platform::PortOpenFailureReason(0, plain, plain), "");
}

// Joining the owning group helps only when the group may read and write the
// device; otherwise only the owner may open it.
// Every failure reads in Russian: the system's English text, when it is given at
// all, only as a detail after the reason.
TEST_F(PortOpenReason, EveryFailureIsSaidInRussian) {
  // A directory given as the port: a real failure of opening it.
  Sio folder;
  folder.portName = root_;
  EXPECT_EQ(folder.Open(), -1);
  struct Case {
    int error;
    const char* says;
  } const cases[] = {
      {folder.lastOpenErrno, "не является последовательным портом"},
      {EISDIR, "не является последовательным портом"},
      {EIO, "ошибка ввода-вывода"},
      {ELOOP, "недопустим"},
      {EMFILE, "не хватает ресурсов"},
      {EROFS, "система не дала открыть порт"},
      {ETXTBSY, "система не дала открыть порт"},
  };
  const std::string path = "/dev/ttyQ";
  for (const Case& c : cases) {
    const std::string reason = platform::PortOpenFailureReason(c.error, path, path);
    SCOPED_TRACE(reason);
    EXPECT_TRUE(Contains(reason, c.says));
    // Up to the detail in brackets, nothing but Russian words and the path.
    std::string words = reason.substr(0, reason.find(" ("));
    words.erase(words.find(path), path.size());
    for (char ch : words) EXPECT_FALSE(std::isalpha(static_cast<unsigned char>(ch))) << words;
  }
}

TEST_F(PortOpenReason, ThePermissionHintNamesTheGroupOnlyWhenItMayReadAndWrite) {
  const std::string path = root_ + "/ttyDenied";
  std::ofstream(path) << "x";
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  const std::string groupName = ::getgrgid(st.st_gid)->gr_name;
  const std::string owner = ::getpwuid(st.st_uid)->pw_name;
  const std::string joinGroup = "Пользователь должен входить в группу \"" + groupName + "\", которой принадлежит устройство.";
  const std::string ownerOnly = "Открыть устройство может только его владелец \"" + owner + "\".";
  struct Case {
    mode_t mode;
    std::string hint;
  } cases[] = {{0660, joinGroup}, {0640, ownerOnly}, {0600, ownerOnly}, {0620, ownerOnly}};
  for (const Case& c : cases) {
    ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
    const std::string reason = platform::PortOpenFailureReason(EACCES, path, path);
    EXPECT_EQ(reason, "Причина: нет прав на доступ к " + path + ". " + c.hint) << std::oct << c.mode;
  }

  // The real refusal, as a user outside the device's group meets it: a terminal
  // of root:dialout 0660, then of root:root 0600.
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  const std::string slave = ::ptsname(master);
  const struct group* dialout = ::getgrnam("dialout");
  const gid_t deviceGroup = dialout != nullptr ? dialout->gr_gid : 0;
  const std::string deviceGroupName = dialout != nullptr ? "dialout" : "root";
  auto openAs = [&](uid_t uid, gid_t gid, mode_t mode) -> std::optional<std::string> {
    if (::chown(slave.c_str(), uid, gid) != 0 || ::chmod(slave.c_str(), mode) != 0) return "cannot set up " + slave;
    return RunUnprivileged([&] {
      Sio port;
      port.portName = slave;
      if (port.Open() == 0) return std::string("opened");
      return platform::PortOpenFailureReason(port.lastOpenErrno, slave, slave);
    });
  };
  const std::optional<std::string> shared = openAs(0, deviceGroup, 0660);
  if (!shared) {
    ::close(master);
    GTEST_SKIP() << "the refusal needs root to drop to an unprivileged user";
  }
  EXPECT_TRUE(Contains(*shared, "группу \"" + deviceGroupName + "\", которой")) << *shared;
  const std::optional<std::string> own = openAs(0, 0, 0600);
  ASSERT_TRUE(own);
  EXPECT_TRUE(Contains(*own, "только его владелец \"root\"")) << *own;
  EXPECT_FALSE(Contains(*own, "группу")) << *own;
  ::close(master);
}

TEST_F(PortOpenReason, PortListAddsTheStableConverterNames) {
  ASSERT_EQ(std::system(("mkdir -p '" + root_ + "/sys/ttyUSB0' '" + root_ + "/by-id'").c_str()), 0);
  ASSERT_EQ(::symlink("/", (root_ + "/sys/ttyUSB0/device").c_str()), 0);
  ASSERT_EQ(::symlink("../../ttyUSB0", (root_ + "/by-id/usb-FTDI_FT232R-if00-port0").c_str()), 0);
  ASSERT_EQ(::symlink("../../ttyUSB1", (root_ + "/by-id/usb-Acme_485-if00").c_str()), 0);
  std::string list;
  platform::EnumerateSerialPortsIn(root_ + "/sys", root_ + "/by-id", list);
  EXPECT_EQ(list, "/dev/ttyUSB0:" + root_ + "/by-id/usb-Acme_485-if00:" + root_ + "/by-id/usb-FTDI_FT232R-if00-port0");
  platform::EnumerateSerialPortsIn(root_ + "/sys", root_ + "/none", list);
  EXPECT_EQ(list, "/dev/ttyUSB0");
}

}  // namespace
