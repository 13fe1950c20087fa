#include "platform/PortOpenReason.h"

#include <grp.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/CFormat.h"

namespace platform {

std::string FileGroupName(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return {};
  std::vector<char> buffer(16384);
  group entry {};
  group* found = nullptr;
  if (::getgrgid_r(st.st_gid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
      found->gr_name == nullptr)
    return {};
  return found->gr_name;
}

std::string PortOpenFailureReason(int error, const std::string& portName, const std::string& devicePath) {
  if (error == 0) return {};
  const std::string& shown = devicePath.empty() ? portName : devicePath;
  switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return Format("Причина: устройство %s не существует.", shown.c_str());
    case EACCES:
    case EPERM: {
      const std::string group = FileGroupName(devicePath);
      if (group.empty())
        return Format("Причина: нет прав на доступ к %s. Пользователь должен входить в группу, которой принадлежит "
                      "устройство.",
                      shown.c_str());
      return Format("Причина: нет прав на доступ к %s. Пользователь должен входить в группу \"%s\", которой "
                    "принадлежит устройство.",
                    shown.c_str(), group.c_str());
    }
    case EBUSY:
#if EWOULDBLOCK != EBUSY
    case EWOULDBLOCK:
#endif
      return Format("Причина: порт %s занят другой программой.", shown.c_str());
    case ENOTTY:
      return Format("Причина: %s не является последовательным портом.", shown.c_str());
    default:
      return Format("Причина: %s (%s).", std::strerror(error), shown.c_str());
  }
}

}  // namespace platform
