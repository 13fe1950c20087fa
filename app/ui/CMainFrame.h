#pragma once
// The main window: menu 128 with its accelerators, the 20-slot toolbar, the status
// bar and the document's view. Commands are routed through a table keyed by
// command id (each QAction carries its id as data): a dialog is wired by one
// SetCommandHandler line; a command without a handler stays disabled.
#include <QMainWindow>
#include <QPoint>
#include <QSize>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/MainFrameRules.h"
#include "devices/MainMenu.h"

class QAction;
class QLabel;
class QMenu;
class QToolBar;
class CPelmTreeListView;

class CMainFrame : public QMainWindow, public BaseDevice::MainMenu {
  Q_OBJECT

 public:
  struct Hooks {
    // Runs before a close is accepted; false keeps the window (the save prompt).
    std::function<bool()> canClose;
    // The window is closing for good: stop the threads, close the document.
    std::function<void()> closing;
    // A dropped configuration file.
    std::function<void(const std::string&)> openDropped;
    // Whether a command is being handled (a close then waits for its end).
    std::function<bool()> busy;
    // The document's title ("" before it has one) for the window's title.
    std::function<std::string()> documentTitle;
  };

  explicit CMainFrame(Hooks hooks, QWidget* parent = nullptr);
  ~CMainFrame() override;

  using Handler = std::function<void()>;
  // Wires a command (null handler: none; the command is disabled).
  void SetCommandHandler(int command, Handler handler);
  // Whether the command is enabled besides having a handler (the update rules).
  void SetCommandEnabler(int command, std::function<bool()> enabled);
  void SetCommandChecker(int command, std::function<bool()> checked);
  QAction* Action(int command) const;
  // Runs the command's handler now, as the menu does; false without one.
  bool RunCommand(int command);
  // Queues the command for the window thread (the batch run's first command).
  void PostCommand(int command);

  // The idle update of the commands' states and the window's title.
  void UpdateCommandStates();
  void UpdateFrameTitle();
  std::string TitleText() const;

  void ApplyPlacement(const mainframe::Placement& placement);
  void SetPlacementLock(bool locked);
  bool PlacementLocked() const { return placementLock_; }

  // The four entries of the recent-file list.
  void SetRecentFiles(const std::vector<std::string>& paths);

  // The document's view becomes the central widget (the frame owns it).
  void SetView(CPelmTreeListView* view);
  CPelmTreeListView* View() const { return view_; }
  QToolBar* ToolBar() const { return toolBar_; }
  QMenu* SubMenu(int index) const;

  // A device model's changes to the menu (BaseDevice::MainMenu; the window
  // registers itself as the models' menu while it exists). An item goes in only
  // when the sub-menu holds beforeCommand and no item has the command yet.
  bool InsertItem(int subMenu, int beforeCommand, int command, const std::string& text) override;
  bool RemoveItem(int subMenu, int command) override;
  bool HasItem(int subMenu, int command) override;

  // Closes without asking (the end of a batch run, the external exit event).
  void CloseFromProgram();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildMenu();
  void BuildToolBar();
  void BuildStatusBar();
  QAction* MakeAction(int command, const QString& text, const QString& key);
  QIcon CommandIcon(int command) const;

  Hooks hooks_;
  std::map<int, QAction*> actions_;
  std::map<int, Handler> handlers_;
  std::map<int, std::function<bool()>> enablers_;
  std::map<int, std::function<bool()>> checkers_;
  std::vector<QMenu*> subMenus_;
  std::vector<QAction*> recentActions_;
  QAction* recentPlaceholder_ = nullptr;
  QToolBar* toolBar_ = nullptr;
  CPelmTreeListView* view_ = nullptr;
  bool placementLock_ = false;
  QPoint lockedPosition_;
  QSize lockedSize_;
  bool closingFromProgram_ = false;
};
