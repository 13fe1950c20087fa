#pragma once
// Stands in for the parameter tree view until it exists: the document's tree as
// plain text, one line per branch and per parameter (name, value, caption),
// indented by depth.
#include <QPlainTextEdit>

class CPelmDoc;

class TreeTextView : public QPlainTextEdit {
  Q_OBJECT

 public:
  explicit TreeTextView(QWidget* parent = nullptr);
  // Rebuilds the text from the document's root and polled-parameter branches.
  void Refresh(CPelmDoc* document);
  void Clear() { clear(); }
  // Lines shown (tests).
  int LineCount() const { return document()->blockCount(); }

 signals:
  // The first paint after a refresh that showed rows.
  void treePainted();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool paintPending_ = false;
};
