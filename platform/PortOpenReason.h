#pragma once
// Why a serial port could not be opened, in words a user can act on: no such
// device, no permission (naming the group that owns the device file when that
// group may read and write it, otherwise its owner), held by
// another program, not a terminal; any other failure in Russian too, with the
// system's text only as a detail.
#include <string>

#include "platform/Sio.h"

namespace platform {

// The reason for errno error of opening the port named portName (device path
// devicePath, empty when the name means no device); empty when error is 0.
std::string PortOpenFailureReason(int error, const std::string& portName, const std::string& devicePath);

// The reason a port that opened did not take the line's settings: the setting it
// refused with its value; the system's reason (or a plain one) when it cannot
// tell which. Empty for an open that did not fail so.
std::string PortSettingsRefusalReason(const Sio& port, const std::string& devicePath);

// The name of the group that owns the file, empty when it cannot be found.
std::string FileGroupName(const std::string& path);

}  // namespace platform
