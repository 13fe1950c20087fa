#include "controls/LazyIcon.h"

#include <QIconEngine>
#include <QPainter>
#include <memory>
#include <optional>

namespace {

class LazyIconEngine : public QIconEngine {
 public:
  explicit LazyIconEngine(std::function<QIcon()> make)
      : state_(std::make_shared<Shared>(Shared{std::move(make), std::nullopt})) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    Icon().paint(painter, rect, Qt::AlignCenter, mode, state);
  }
  QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return Icon().actualSize(size, mode, state);
  }
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return Icon().pixmap(size, mode, state);
  }
  QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
    return Icon().availableSizes(mode, state);
  }
  // Asking whether there is a picture must not make it.
  bool isNull() override { return state_->icon ? state_->icon->isNull() : false; }
  // Copies share the pictures, made once for all of them.
  QIconEngine* clone() const override { return new LazyIconEngine(*this); }

 private:
  struct Shared {
    std::function<QIcon()> make;
    std::optional<QIcon> icon;
  };

  QIcon& Icon() {
    if (!state_->icon) {
      state_->icon = state_->make ? state_->make() : QIcon();
      state_->make = nullptr;
    }
    return *state_->icon;
  }

  std::shared_ptr<Shared> state_;
};

}  // namespace

QIcon LazyIcon(std::function<QIcon()> make) { return QIcon(new LazyIconEngine(std::move(make))); }
