#include "platform/PortOpenReason.h"

#include <grp.h>
#include <pwd.h>
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

namespace {

std::string OwnerName(uid_t uid) {
  std::vector<char> buffer(16384);
  passwd entry {};
  passwd* found = nullptr;
  if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
      found->pw_name == nullptr)
    return {};
  return found->pw_name;
}

// Joining the owning group helps only when that group may read and write the
// device (the usual 0660 root:dialout); otherwise only its owner can open it.
std::string PermissionReason(const std::string& shown, const std::string& devicePath) {
  const std::string denied = Format("Причина: нет прав на доступ к %s.", shown.c_str());
  struct stat st {};
  if (devicePath.empty() || ::stat(devicePath.c_str(), &st) != 0)
    return denied + " Пользователь должен входить в группу, которой принадлежит устройство.";
  constexpr mode_t kGroupReadWrite = S_IRGRP | S_IWGRP;
  if ((st.st_mode & kGroupReadWrite) == kGroupReadWrite) {
    const std::string group = FileGroupName(devicePath);
    if (group.empty()) return denied + " Пользователь должен входить в группу, которой принадлежит устройство.";
    return denied + Format(" Пользователь должен входить в группу \"%s\", которой принадлежит устройство.",
                           group.c_str());
  }
  const std::string owner = OwnerName(st.st_uid);
  if (owner.empty()) return denied + " Открыть устройство может только его владелец.";
  return denied + Format(" Открыть устройство может только его владелец \"%s\".", owner.c_str());
}

}  // namespace

std::string PortOpenFailureReason(int error, const std::string& portName, const std::string& devicePath) {
  if (error == 0) return {};
  const std::string& shown = devicePath.empty() ? portName : devicePath;
  switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return Format("Причина: устройство %s не существует.", shown.c_str());
    case EACCES:
    case EPERM:
      return PermissionReason(shown, devicePath);
    case EBUSY:
#if EWOULDBLOCK != EBUSY
    case EWOULDBLOCK:
#endif
      return Format("Причина: порт %s занят другой программой.", shown.c_str());
    case ENOTTY:
    case EISDIR:
    case ENOTDIR:
    case EINVAL:
      return Format("Причина: %s не является последовательным портом.", shown.c_str());
    case EIO:
      return Format("Причина: ошибка ввода-вывода на порту %s (устройство отключено или неисправно).", shown.c_str());
    case ENAMETOOLONG:
    case ELOOP:
      return Format("Причина: путь %s недопустим.", shown.c_str());
    case EMFILE:
    case ENFILE:
    case ENOMEM:
      return Format("Причина: системе не хватает ресурсов, чтобы открыть порт %s.", shown.c_str());
    default:
      // The system's own words (in English) only as a detail for whoever looks further.
      return Format("Причина: система не дала открыть порт %s (код ошибки %d: %s).", shown.c_str(), error,
                    std::strerror(error));
  }
}

std::string PortSettingsRefusalReason(const Sio& port, const std::string& devicePath) {
  const std::string& shown = devicePath.empty() ? port.portName : devicePath;
  switch (port.lastOpenRefused) {
    case Sio::OpenRefusal::None:
      return {};
    case Sio::OpenRefusal::Rate:
      return Format("Причина: порт %s не принимает скорость %u бит/с.", shown.c_str(),
                    static_cast<unsigned>(port.baudRate));
    case Sio::OpenRefusal::DataBits:
      return Format("Причина: порт %s не принимает длину данных %d бит.", shown.c_str(), port.dataBits);
    case Sio::OpenRefusal::Parity: {
      const char* parity = "";
      switch (port.parityCode) {
        case 1: parity = "Четность"; break;
        case 2: parity = "Маркер"; break;
        case 4: parity = "Нечетность"; break;
        case 5: parity = "Пробел"; break;
        default: parity = "?"; break;
      }
      return Format("Причина: порт %s не принимает контроль четности \"%s\".", shown.c_str(), parity);
    }
    case Sio::OpenRefusal::StopBits:
      return Format("Причина: порт %s не принимает число стоповых бит %d.", shown.c_str(), port.stopBits);
    case Sio::OpenRefusal::LineSettings:
      break;
  }
  if (port.lastOpenErrno != 0 && port.lastOpenErrno != EINVAL)
    return PortOpenFailureReason(port.lastOpenErrno, port.portName, devicePath);
  return Format("Причина: порт %s не принимает настройки линии (%u бит/с, %d бит данных, %d стоп. бит).",
                shown.c_str(), static_cast<unsigned>(port.baudRate), port.dataBits, port.stopBits);
}

}  // namespace platform
