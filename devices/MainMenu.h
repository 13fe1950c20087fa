#pragma once
// The main window's menu as the device models change it, and the commands they
// post to the main window. The window layer registers its implementation; without
// one (no main window yet, or a test that fakes none) the models leave the menu be.
#include <string>

namespace BaseDevice {

class MainMenu {
 public:
  virtual ~MainMenu() = default;

  // Inserts a string item with the command and text before the item with command
  // `beforeCommand` of sub-menu `subMenu` (counted from 0) of the menu bar; the new
  // item is drawn like the others. False when there is no such sub-menu.
  virtual bool InsertItem(int subMenu, int beforeCommand, int command, const std::string& text) = 0;
  // Removes the item with the command from the sub-menu; false when there is none.
  virtual bool RemoveItem(int subMenu, int command) = 0;
  virtual bool HasItem(int subMenu, int command) = 0;
  // Posts the command to the main window, as if its menu item had been chosen.
  virtual void PostCommand(int command) = 0;
};

// Set by the window layer once the main window exists, null when it goes.
void SetMainMenu(MainMenu* menu);
MainMenu* GetMainMenu();

}  // namespace BaseDevice
