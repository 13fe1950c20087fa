#include "app/MainFrameRules.h"

#include <algorithm>
#include <map>

#include "link/ModelTable.h"
#include "platform/CFormat.h"
#include "resources/StringTable.h"

namespace mainframe {
namespace {

// The first limit characters (not bytes) of a UTF-8 text.
std::string CutToCharacters(std::string_view text, size_t limit) {
  size_t characters = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (characters++ == limit) return std::string(text.substr(0, i));
  }
  return std::string(text);
}

}  // namespace

Placement WindowPlacement(const exchange::BatchSettings& batch) {
  Placement placement;
  const uint8_t f = batch.windowFlags;
  const bool sized = (f & exchange::kWindowWidth) && (f & exchange::kWindowHeight);
  if (!sized) return placement;
  if (batch.width == 0 && batch.height == 0) {
    placement.show = WindowShow::Minimised;
    return placement;
  }
  if (!((f & exchange::kWindowX) && (f & exchange::kWindowY))) return placement;
  placement.show = WindowShow::Placed;
  placement.x = batch.x;
  placement.y = batch.y;
  placement.width = batch.width;
  placement.height = batch.height;
  placement.lock = true;
  return placement;
}

std::string FrameTitle(int modelIndex, const std::string& documentTitle, bool addDocumentName, int windowNumber) {
  const std::string model = modelIndex < 0 ? resources::LoadString(kStrUnknownModel)
                                           : exchange::ModelDisplayName(modelIndex);
  std::string title = resources::LoadString(kStrConfigurator) + " " + model;
  if (addDocumentName) {
    title += " - " + documentTitle;
    if (windowNumber > 0) title += platform::Format(":%d", windowNumber);
  }
  return title;
}

int GetMenuImageIndex(int command) {
  static const std::map<int, int> kImages = {
      {kCmdNew, 1},  {kCmdOpen, 2},        {kCmdSave, 3},   {139, 4},           {140, 5},
      {256, 6},      {279, 8},             {280, 9},        {281, 10},          {277, 11},
      {276, 12},     {kCmdAbout, 13},      {32819, 15},     {kCmdExportHtml, 16}, {kCmdHelp, 18},
      {269, 19},     {kCmdExit, 20},       {32821, 21},     {301, 22}};
  const auto it = kImages.find(command);
  return it == kImages.end() ? 0 : it->second;
}

std::string TooltipText(std::string_view prompt) {
  const size_t lineBreak = prompt.rfind('\n');
  if (lineBreak != std::string_view::npos) prompt.remove_prefix(lineBreak + 1);
  return CutToCharacters(prompt, 79);
}

const std::vector<MenuItem>& MainMenu() {
  static const std::vector<MenuItem> kMenu = {
      {0, "&Файл"},
      {1, "&Создать\tCtrl+N", kCmdNew, "Ctrl+N"},
      {1, "&Открыть...\tCtrl+O", kCmdOpen, "Ctrl+O"},
      {1, "Со&хранить\tCtrl+S", kCmdSave, "Ctrl+S"},
      {1, "Сохранить &как...", kCmdSaveAs},
      {1, ""},
      {1, "Последний файл", kCmdRecentFile},
      {1, ""},
      {1, "В&ыход", kCmdExit},
      {0, "&Прибор"},
      {1, "Прочитать все параметры\tAlt+R", 139, "Alt+R"},
      {1, "Записать все параметры\tAlt+W", 140, "Alt+W"},
      {1, "Записать только измененные\tAlt+U", 256, "Alt+U"},
      {1, "Сравнить с реальными значениями\tAlt+C", 257, "Alt+C"},
      {1, ""},
      {1, "Прочитать эту ветвь\tCtrl+Alt+R", kCmdReadBranchKey, "Ctrl+Alt+R"},
      {1, "Записать эту ветвь\tCtrl+Alt+W", kCmdWriteBranchKey, "Ctrl+Alt+W"},
      {1, "Записать новые значения этой ветви\tCtrl+Alt+U", kCmdWriteChangedBranchKey, "Ctrl+Alt+U"},
      {1, "Сравнить значения этой ветви\tCtrl+Alt+C", kCmdCompareBranchKey, "Ctrl+Alt+C"},
      {1, ""},
      {1, "К предыдущему проблемному параметру", kCmdPreviousProblem},
      {1, "К следующему проблемному параметру", kCmdNextProblem},
      {0, "&Настройки"},
      {1, "Настройка порта", kCmdPortSetup},
      {1, "Преобразователь RS-485"},
      {2, "Автоматический", 32798, "", true},
      {2, "Полуавтоматический (KP-9)", 32799, "", true},
      {1, ""},
      {1, "Показывать линейные индексы", 380, "", true},
      {1, "Режим автоматического чтения", 134, "", true, true},
      {1, "Режим немедленной записи", 268, "", true},
      {1, "Не передавать атрибуты параметров", 294, "", true},
      {0, "&Сервис"},
      {1, "Инициализировать прибор", 269},
      {1, "Послать команду &INIT\tAlt+I", 301, "Alt+I"},
      {1, "Послать команду &APLY\tAlt+A", 265, "Alt+A"},
      {1, ""},
      {1, "Состояние входов и выходов...", kCmdStateInOut},
      {1, "Опрос отдельного параметра\tAlt+S", kCmdSinglePoint, "Alt+S"},
      {1, "Проверка связи с прибором\tAlt+N", 379, "Alt+N"},
      {1, "Юстировка ", kCmdCalibrate},
      {1, ""},
      {1, "Экспорт списка параметров в HTML", kCmdExportHtml},
      {0, "&?"},
      {1, "&Справка", kCmdHelp},
      {1, "&О программе...", kCmdAbout},
  };
  return kMenu;
}

const std::vector<int>& ToolbarSlots() {
  static const std::vector<int> kSlots = {kCmdNew, kCmdOpen, kCmdSave, 0, 139, 140, 256, 0, 279, 280,
                                          281, 0, 269, 301, kCmdStateInOut, 0, 276, 277, 0, kCmdAbout};
  return kSlots;
}

std::string CommandPrompt(int command) {
  static const std::map<int, const char*> kPrompts = {
      {kCmdNew, "Создать новую конфигурацию\nСоздать"},
      {kCmdOpen, "Открыть файл конфигурации\nОткрыть"},
      {kCmdSave, "Сохранить конфигурацию в файле\nСохранить"},
      {kCmdSaveAs, "Сохранить конфигурацию в другом файле\nСохранить как"},
      {kCmdAbout, "Сведения о программе\nО программе"},
      {kCmdExit, "Завершить работу программы\nВыход"},
  };
  if (const auto it = kPrompts.find(command); it != kPrompts.end()) return it->second;
  // The other commands' prompt is their menu text without the shortcut.
  for (const MenuItem& item : MainMenu()) {
    if (item.command != command || command == 0) continue;
    const std::string_view full(item.text);
    std::string text(full.substr(0, full.find('\t')));
    std::erase(text, '&');
    return text;
  }
  return {};
}

}  // namespace mainframe
