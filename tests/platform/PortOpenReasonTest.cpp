// Why a port cannot be opened, as the user reads it, from the real failures of the
// serial port; and the stable converter names in the port list.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

#include "platform/PortOpenReason.h"
#include "platform/Sio.h"
#include "support/ScopedConfigDir.h"

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
  ::close(master);

  // No permission: the group that owns the device file is named.
  struct stat st {};
  ASSERT_EQ(::stat(plain.c_str(), &st), 0);
  const group* owner = ::getgrgid(st.st_gid);
  ASSERT_NE(owner, nullptr);
  const std::string denied = platform::PortOpenFailureReason(EACCES, plain, plain);
  EXPECT_TRUE(Contains(denied, "нет прав")) << denied;
  EXPECT_TRUE(Contains(denied, std::string("группу \"") + owner->gr_name + "\"")) << denied;
  EXPECT_TRUE(Contains(platform::PortOpenFailureReason(EACCES, "COM9", ""), "группу, которой")) ;

  EXPECT_EQ(platform::PortOpenFailureReason(0, plain, plain), "");
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
