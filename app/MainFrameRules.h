#pragma once
// The main window's rules that need no window: where the window goes, its title,
// the menu's images, colours and text pieces, the toolbar's tips and the menu.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "link/BatchSettings.h"

namespace mainframe {

// Command ids of the framework's commands the program uses.
inline constexpr int kCmdNew = 57600;
inline constexpr int kCmdOpen = 57601;
inline constexpr int kCmdSave = 57603;
inline constexpr int kCmdSaveAs = 57604;
inline constexpr int kCmdRecentFile = 57616;  // the first of the four entries
inline constexpr int kCmdAbout = 57664;
inline constexpr int kCmdExit = 57665;
inline constexpr int kCmdHelp = 57667;
// The program's own commands the main window routes (the document's are in CPelmDoc).
inline constexpr int kCmdReadBranchKey = 279;
inline constexpr int kCmdWriteBranchKey = 280;
inline constexpr int kCmdWriteChangedBranchKey = 281;
inline constexpr int kCmdCompareBranchKey = 282;
inline constexpr int kCmdPreviousProblem = 276;
inline constexpr int kCmdNextProblem = 277;
inline constexpr int kCmdCalibrateInputs = 303;
inline constexpr int kCmdExportHtml = 32804;
inline constexpr int kCmdPortSetup = 32819;
inline constexpr int kCmdStateInOut = 32821;
inline constexpr int kCmdCalibrate = 32824;
inline constexpr int kCmdSinglePoint = 378;
inline constexpr int kCmdTareWeight = 111;

inline constexpr int kRecentFileCount = 4;

// How the start of a run shows the main window.
enum class WindowShow { Maximised, Minimised, Placed };
struct Placement {
  WindowShow show = WindowShow::Maximised;
  int x = 0, y = 0, width = 0, height = 0;
  bool lock = false;  // the window cannot be moved, sized, minimised or maximised
};
Placement WindowPlacement(const exchange::BatchSettings& batch);

// "Конфигуратор <model>", then " - <document title>" and ":<n>" for a window
// number above 0 when the document's name is wanted.
std::string FrameTitle(int modelIndex, const std::string& documentTitle, bool addDocumentName, int windowNumber);

// The 16x16 image of a menu command, 1-based; 0: none.
int GetMenuImageIndex(int command);

// A toolbar tip from a command's prompt: the part after the last line break, at
// most 79 characters.
std::string TooltipText(std::string_view prompt);

// One item of the main menu: a command, a separator (command 0) or the start of
// a sub-menu (title set, command 0, depth below the menu bar).
struct MenuItem {
  int depth = 0;       // 0: a menu of the menu bar; 1: its item; 2: an item of a sub-menu
  const char* text = "";  // with a tab and the shortcut's text when there is one
  int command = 0;
  const char* key = "";   // the key sequence for the accelerator table
  bool checkable = false;
  bool checked = false;
};
// Menu 128 in order.
const std::vector<MenuItem>& MainMenu();

// The 20 toolbar slots (0: a separator).
const std::vector<int>& ToolbarSlots();

// The prompt of a command (the text its status line and tip come from).
std::string CommandPrompt(int command);

}  // namespace mainframe
