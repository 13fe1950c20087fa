#pragma once
// A combo box that shows one item, chosen by its owner, in green: in the list and
// in the closed box when that item is the current one.
#include <QComboBox>
#include <QStringList>

class CComboEx : public QComboBox {
  Q_OBJECT

 public:
  static constexpr QRgb kMarkedColour = 0x00C800;  // as RGB: green

  explicit CComboEx(QWidget* parent = nullptr);
  // Empties the list and adds the texts in order.
  void SetItems(const QStringList& texts);
  void SetMarkedItem(int index);
  int MarkedItem() const { return marked_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int marked_ = -1;
};
