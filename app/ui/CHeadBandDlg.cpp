#include "app/ui/CHeadBandDlg.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

#include "resources/Version.h"

namespace {

// The splash picture: drawn, as the program carries no image files.
QPixmap SplashPicture() {
  QPixmap picture(400, 160);
  QPainter painter(&picture);
  QLinearGradient gradient(0, 0, 0, picture.height());
  gradient.setColorAt(0, QColor(255, 255, 255));
  gradient.setColorAt(1, QColor(200, 214, 230));
  painter.fillRect(picture.rect(), gradient);
  painter.setPen(QColor(40, 70, 120));
  // The desktop's own face: looking up another one costs more than the whole band.
  QFont font = QApplication::font();
  font.setPixelSize(36);
  font.setBold(true);
  painter.setFont(font);
  painter.drawText(picture.rect().adjusted(0, 30, 0, 0), Qt::AlignCenter, QString::fromUtf8(resources::kProductName));
  painter.setPen(QColor(150, 150, 150));
  painter.drawRect(picture.rect().adjusted(0, 0, -1, -1));
  return picture;
}

}  // namespace

CBitmapStatic::CBitmapStatic(QWidget* parent) : QLabel(parent) {
  QFont font = QApplication::font();
  font.setPixelSize(12);
  setFont(font);
}

void CBitmapStatic::SetText(const QString& text) {
  text_ = text;
  update();
}

void CBitmapStatic::paintEvent(QPaintEvent* event) {
  QLabel::paintEvent(event);
  QPainter painter(this);
  painter.setFont(font());
  painter.setPen(QColor(150, 150, 150));
  const QRect band(kMargin, 0, width() - 2 * kMargin, kBandHeight);
  // One line, never wrapped: a long text ends in an ellipsis.
  const QString shown = QFontMetrics(font()).elidedText(text_, Qt::ElideRight, band.width());
  painter.drawText(band, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}

CHeadBandDlg::~CHeadBandDlg() { Destroy(); }

int CHeadBandDlg::Create(const QString& text, QWidget* parent) {
  if (window_) {
    picture_->SetText(text);
    return 0;
  }
  auto* window = new QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  window->setAttribute(Qt::WA_DeleteOnClose, false);
  auto* layout = new QVBoxLayout(window);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* picture = new CBitmapStatic(window);
  picture->setPixmap(SplashPicture());
  picture->SetText(text);
  layout->addWidget(picture);
  window_ = window;
  picture_ = picture;
  window->adjustSize();
  if (const QScreen* screen = QApplication::primaryScreen())
    window->move(screen->availableGeometry().center() - window->rect().center());
  window->show();
  // What follows (the start-up connection) keeps the window thread for seconds: the
  // window is painted now, once the display has mapped it (at most a second).
  QElapsedTimer mapping;
  mapping.start();
  while (window->windowHandle() && !window->windowHandle()->isExposed() && mapping.elapsed() < 1000)
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
  window->repaint();
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  return 1;
}

void CHeadBandDlg::Destroy() {
  delete window_.data();
  window_ = nullptr;
  picture_ = nullptr;
}

bool CHeadBandDlg::IsVisible() const { return window_ && window_->isVisible(); }
