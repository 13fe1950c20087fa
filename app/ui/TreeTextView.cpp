#include "app/ui/TreeTextView.h"

#include <QStringList>

#include "app/CPelmDoc.h"
#include "model/DescBranch.h"
#include "model/Parameter.h"

namespace {

void AddBranch(const DescBranch& branch, int depth, QStringList& lines) {
  const QString indent(depth * 2, QLatin1Char(' '));
  lines << indent + QString::fromStdString(branch.elementName);
  for (const auto& p : branch.parameters)
    lines << QStringLiteral("%1  %2 = %3    %4")
                 .arg(indent, QString::fromStdString(p->name), QString::fromStdString(p->value),
                      QString::fromStdString(p->description));
  for (const auto& child : branch.children) AddBranch(*child, depth + 1, lines);
}

}  // namespace

TreeTextView::TreeTextView(QWidget* parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  setLineWrapMode(QPlainTextEdit::NoWrap);

}

void TreeTextView::Refresh(CPelmDoc* doc) {
  QStringList lines;
  if (doc && doc->rootBranch) AddBranch(*doc->rootBranch, 0, lines);
  if (doc && doc->scannersBranch) AddBranch(*doc->scannersBranch, 0, lines);
  setPlainText(lines.join(QLatin1Char('\n')));
  paintPending_ = !lines.isEmpty();
  viewport()->update();
}

void TreeTextView::paintEvent(QPaintEvent* event) {
  QPlainTextEdit::paintEvent(event);
  if (paintPending_) {
    paintPending_ = false;
    emit treePainted();
  }
}
