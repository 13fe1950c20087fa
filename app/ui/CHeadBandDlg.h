#pragma once
// The splash window: a borderless picture with a one-line status text painted in
// its top band. A second Create while it is up only changes the text.
#include <QLabel>
#include <QPointer>
#include <QString>

#include "devices/SplashWindow.h"

// The picture with the status text over it.
class CBitmapStatic : public QLabel {
  Q_OBJECT

 public:
  explicit CBitmapStatic(QWidget* parent = nullptr);
  void SetText(const QString& text);
  QString Text() const { return text_; }

  static constexpr int kBandHeight = 30;
  static constexpr int kMargin = 10;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString text_;
};

class CHeadBandDlg : public BaseDevice::SplashWindow {
 public:
  CHeadBandDlg() = default;
  ~CHeadBandDlg() override;
  CHeadBandDlg(const CHeadBandDlg&) = delete;
  CHeadBandDlg& operator=(const CHeadBandDlg&) = delete;

  // Shows the window with the text; when it is up already only the text changes
  // (and 0 is returned). 1 when a window was made.
  int Create(const QString& text, QWidget* parent);
  void Create(const std::string& text) override { Create(QString::fromStdString(text), nullptr); }
  void Destroy() override;
  bool IsVisible() const;
  QWidget* Window() const { return window_; }
  CBitmapStatic* Picture() const { return picture_; }

 private:
  QPointer<QWidget> window_;
  QPointer<CBitmapStatic> picture_;
};
