#pragma once
// The main menu as a device model changes it: an item inserted by command before
// another command in a sub-menu of the menu bar, or removed by command. The main
// window implements it.
#include <string>

class MainMenuEditor {
 public:
  virtual ~MainMenuEditor() = default;
  // Inserts an item with the command and text before the item with beforeCommand
  // in sub-menu submenu (0-based, as the menu bar shows them); false when either
  // is missing or the command is in the menu already.
  virtual bool InsertItemBefore(int submenu, int beforeCommand, int command, const std::string& text) = 0;
  // Removes the item with the command; false when there is none.
  virtual bool RemoveItem(int command) = 0;
};

// The main window's editor, or null while there is no main window.
MainMenuEditor* CurrentMainMenuEditor();
void SetMainMenuEditor(MainMenuEditor* editor);
