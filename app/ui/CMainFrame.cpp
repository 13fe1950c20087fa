#include "app/ui/CMainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QStatusBar>
#include <QStyle>
#include <QScreen>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QWindow>

#include "app/ui/CPelmTreeListView.h"
#include "app/ui/CommandImages.h"
#include "controls/CTreeListCtrl.h"
#include "controls/core/MenuRules.h"
#include "link/AppState.h"

namespace {

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

CMainFrame::CMainFrame(Hooks hooks, QWidget* parent) : QMainWindow(parent), hooks_(std::move(hooks)) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  BuildMenu();
  BuildToolBar();
  BuildStatusBar();
  // The idle update of the commands.
  auto* idle = new QTimer(this);
  connect(idle, &QTimer::timeout, this, &CMainFrame::UpdateCommandStates);
  idle->start(250);
  BaseDevice::SetMainMenu(this);
  UpdateCommandStates();
}

void CMainFrame::SetView(CPelmTreeListView* view) {
  view_ = view;
  setCentralWidget(view);
}

CMainFrame::~CMainFrame() {
  if (BaseDevice::GetMainMenu() == this) BaseDevice::SetMainMenu(nullptr);
}

QAction* CMainFrame::MakeAction(int command, const QString& text, const QString& key) {
  auto* action = new QAction(text, this);
  action->setData(command);
  if (!key.isEmpty()) action->setShortcut(QKeySequence(key));
  action->setIcon(CommandIcon(command));
  const std::string prompt = mainframe::CommandPrompt(command);
  action->setStatusTip(FromUtf8(prompt.substr(0, prompt.find('\n'))));
  action->setToolTip(FromUtf8(mainframe::TooltipText(prompt)));
  action->setEnabled(false);
  connect(action, &QAction::triggered, this, [this, command] { RunCommand(command); });
  actions_[command] = action;
  return action;
}

QIcon CMainFrame::CommandIcon(int command) const {
  // Our own image for every command that has one; the desktop's icon theme wins
  // for the standard file commands.
  const QIcon own = CommandImage(mainframe::GetMenuImageIndex(command));
  switch (command) {
    case mainframe::kCmdNew: return QIcon::fromTheme(QStringLiteral("document-new"), own);
    case mainframe::kCmdOpen: return QIcon::fromTheme(QStringLiteral("document-open"), own);
    case mainframe::kCmdSave: return QIcon::fromTheme(QStringLiteral("document-save"), own);
    case mainframe::kCmdExit: return QIcon::fromTheme(QStringLiteral("application-exit"), own);
    default: return own;
  }
}

void CMainFrame::BuildMenu() {
  QMenu* top = nullptr;
  QMenu* sub = nullptr;
  for (const mainframe::MenuItem& item : mainframe::MainMenu()) {
    const auto [text, key] = menu::SplitAtTab(item.text);
    if (item.depth == 0) {
      top = menuBar()->addMenu(FromUtf8(text));
      subMenus_.push_back(top);
      sub = nullptr;
      continue;
    }
    if (item.depth == 1) sub = nullptr;
    QMenu* into = item.depth == 2 && sub ? sub : top;
    if (item.command == 0 && text.empty()) {
      into->addSeparator();
    } else if (item.command == 0) {
      sub = into->addMenu(FromUtf8(text));
    } else if (item.command == mainframe::kCmdRecentFile) {
      recentPlaceholder_ = into->addAction(FromUtf8(text));
      recentPlaceholder_->setEnabled(false);
      for (int i = 0; i < mainframe::kRecentFileCount; ++i) {
        QAction* recent = MakeAction(mainframe::kCmdRecentFile + i, QString(), QString());
        recent->setVisible(false);
        into->addAction(recent);
        recentActions_.push_back(recent);
      }
    } else {
      QAction* action = MakeAction(item.command, FromUtf8(text), FromUtf8(item.key));
      action->setCheckable(item.checkable);
      action->setChecked(item.checked);
      into->addAction(action);
    }
  }
  // The branch commands of the tree's popup and the access-level notice have no
  // menu item of their own.
  for (int command : {150, 151, 152, 153, 146, mainframe::kCmdCalibrateInputs}) MakeAction(command, QString(), QString());
  // F10 opens the menu, as Alt reaches the menu bar.
  auto* f10 = new QAction(this);
  f10->setShortcut(QKeySequence(Qt::Key_F10));
  connect(f10, &QAction::triggered, this, [this] {
    if (!subMenus_.empty()) menuBar()->setActiveAction(subMenus_.front()->menuAction());
  });
  addAction(f10);
}

void CMainFrame::BuildToolBar() {
  toolBar_ = addToolBar(QStringLiteral("Панель инструментов"));
  toolBar_->setObjectName(QStringLiteral("toolbar128"));
  toolBar_->setWindowTitle(QStringLiteral("Панель инструментов"));
  toolBar_->setIconSize(QSize(16, 16));
  for (int command : mainframe::ToolbarSlots()) {
    if (command == 0)
      toolBar_->addSeparator();
    else
      toolBar_->addAction(actions_.at(command));
  }
}

void CMainFrame::BuildStatusBar() {
  statusBar()->showMessage(QStringLiteral("Готово"));
  for (const char* indicator : {"CAP", "NUM", "SCRL"}) {
    auto* label = new QLabel(QString::fromLatin1(indicator), this);
    label->setEnabled(false);
    statusBar()->addPermanentWidget(label);
  }
}

void CMainFrame::SetCommandHandler(int command, Handler handler) {
  if (handler)
    handlers_[command] = std::move(handler);
  else
    handlers_.erase(command);
  UpdateCommandStates();
}

void CMainFrame::SetCommandEnabler(int command, std::function<bool()> enabled) { enablers_[command] = std::move(enabled); }

void CMainFrame::SetCommandChecker(int command, std::function<bool()> checked) { checkers_[command] = std::move(checked); }

QAction* CMainFrame::Action(int command) const {
  const auto it = actions_.find(command);
  return it == actions_.end() ? nullptr : it->second;
}

bool CMainFrame::RunCommand(int command) {
  const auto it = handlers_.find(command);
  if (it == handlers_.end()) return false;
  if (const auto enabler = enablers_.find(command); enabler != enablers_.end() && !enabler->second()) return false;
  // A copy: the handler may rewire commands while it runs.
  const Handler handler = it->second;
  // A value still being typed belongs to what the command saves, exports or leaves.
  TreeList::CTreeListCtrl::EndEditorsIn(*this);
  handler();
  UpdateCommandStates();
  return true;
}

void CMainFrame::PostCommand(int command) {
  QMetaObject::invokeMethod(this, [this, command] { RunCommand(command); }, Qt::QueuedConnection);
}

void CMainFrame::UpdateCommandStates() {
  for (auto& [command, action] : actions_) {
    bool enabled = handlers_.count(command) != 0;
    if (enabled) {
      if (const auto it = enablers_.find(command); it != enablers_.end()) enabled = it->second();
    }
    action->setEnabled(enabled);
    if (const auto it = checkers_.find(command); it != checkers_.end()) action->setChecked(it->second());
  }
  UpdateFrameTitle();
}

std::string CMainFrame::TitleText() const {
  const std::string title = hooks_.documentTitle ? hooks_.documentTitle() : std::string();
  return mainframe::FrameTitle(App().modelIndex, title.empty() ? "Zt580" : title, true, 0);
}

void CMainFrame::UpdateFrameTitle() {
  const QString title = FromUtf8(TitleText());
  if (windowTitle() != title) setWindowTitle(title);
}

QMenu* CMainFrame::SubMenu(int index) const {
  return index >= 0 && index < static_cast<int>(subMenus_.size()) ? subMenus_[static_cast<size_t>(index)] : nullptr;
}

void CMainFrame::SetRecentFiles(const std::vector<std::string>& paths) {
  for (size_t i = 0; i < recentActions_.size(); ++i) {
    QAction* action = recentActions_[i];
    const bool used = i < paths.size();
    action->setVisible(used);
    if (used) action->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(FromUtf8(paths[i])));
  }
  if (recentPlaceholder_) recentPlaceholder_->setVisible(paths.empty());
}

bool CMainFrame::InsertItem(int subMenu, int beforeCommand, int command, const std::string& text) {
  QMenu* menu = SubMenu(subMenu);
  QAction* before = Action(beforeCommand);
  if (!menu || !before || !menu->actions().contains(before) || Action(command)) return false;
  QAction* action = MakeAction(command, FromUtf8(text), QString());
  menu->insertAction(before, action);
  UpdateCommandStates();
  return true;
}

bool CMainFrame::HasItem(int subMenu, int command) {
  QMenu* menu = SubMenu(subMenu);
  QAction* action = Action(command);
  return menu && action && menu->actions().contains(action);
}

bool CMainFrame::RemoveItem(int subMenu, int command) {
  if (!HasItem(subMenu, command)) return false;
  QAction* action = Action(command);
  actions_.erase(command);
  SubMenu(subMenu)->removeAction(action);
  // Deleted later: the item may be the one whose command is running now.
  action->deleteLater();
  return true;
}

void CMainFrame::ApplyPlacement(const mainframe::Placement& placement) {
  switch (placement.show) {
    case mainframe::WindowShow::Maximised:
      // Without a window manager (a bare X server) maximising does nothing: fill
      // the screen by hand first so that the tree's columns still have their room.
      if (QScreen* display = screen()) setGeometry(display->availableGeometry());
      showMaximized();
      break;
    case mainframe::WindowShow::Minimised: showMinimized(); break;
    case mainframe::WindowShow::Placed:
      setGeometry(placement.x, placement.y, placement.width, placement.height);
      show();
      break;
  }
  SetPlacementLock(placement.lock);
}

void CMainFrame::SetPlacementLock(bool locked) {
  placementLock_ = locked;
  if (locked) {
    lockedPosition_ = pos();
    lockedSize_ = size();
    setFixedSize(lockedSize_);
  } else {
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  }
  // Changing the flags hides a shown window.
  const bool shown = isVisible();
  setWindowFlag(Qt::WindowMinMaxButtonsHint, !locked);
  if (shown) show();
}

void CMainFrame::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && placementLock_ &&
      (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized))) {
    // Minimise and maximise are ignored while the window is placed by a batch run.
    QTimer::singleShot(0, this, [this] { setWindowState(Qt::WindowNoState); });
  }
}

void CMainFrame::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  if (placementLock_ && pos() != lockedPosition_)
    QTimer::singleShot(0, this, [this] {
      if (placementLock_) move(lockedPosition_);
    });
}

void CMainFrame::CloseFromProgram() {
  // Before the window goes: its editors would take the focus loss as a confirmation.
  TreeList::CTreeListCtrl::CloseEditorsIn(*this);
  closingFromProgram_ = true;
  close();
  closingFromProgram_ = false;
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (hooks_.busy && hooks_.busy()) {
    // A command (a task's progress dialog) is still running: the close comes after it.
    event->ignore();
    const bool fromProgram = closingFromProgram_;
    QTimer::singleShot(100, this, [this, fromProgram] {
      if (fromProgram)
        CloseFromProgram();
      else
        close();
    });
    return;
  }
  if (!closingFromProgram_) {
    // Closed by the user (title bar, Alt+F4, "Выход"): a value being typed is taken
    // first, so that the question about saving covers it.
    TreeList::CTreeListCtrl::EndEditorsIn(*this);
    if (hooks_.canClose && !hooks_.canClose()) {
      event->ignore();
      return;
    }
  }
  if (hooks_.closing) hooks_.closing();
  event->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
  for (const QUrl& url : event->mimeData()->urls()) {
    if (!url.isLocalFile()) continue;
    const QString path = url.toLocalFile();
    if (!path.endsWith(QStringLiteral(".z580"), Qt::CaseInsensitive)) continue;
    event->acceptProposedAction();
    TreeList::CTreeListCtrl::EndEditorsIn(*this);
    if (hooks_.openDropped) hooks_.openDropped(path.toStdString());
    return;
  }
}
