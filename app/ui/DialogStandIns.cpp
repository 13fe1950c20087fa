#include "app/ui/DialogStandIns.h"

#include "platform/Prompter.h"

bool RunConnectionSetupStandIn(Device& /*link*/) {
  platform::ShowMessage("Прибор не ответил. Проверьте подключение и настройки порта.", std::string(),
                        platform::MessageIcon::Error);
  return false;
}

bool RunApplyDialogStandIn(CPelmDoc& /*document*/) {
  platform::ShowMessage("Изменение сетевых настроек прибора в этой версии недоступно.", std::string(),
                        platform::MessageIcon::Warning);
  return false;
}
