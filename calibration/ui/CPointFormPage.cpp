#include "calibration/ui/CPointFormPage.h"

#include <QGridLayout>
#include <QLabel>

namespace {

QLabel* Label(QWidget* parent, int id, const QString& text) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QStringLiteral("id%1").arg(id));
  label->setWordWrap(true);
  return label;
}

QLineEdit* Edit(QWidget* parent, int id) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QStringLiteral("id%1").arg(id));
  return edit;
}

}  // namespace

CPointFormPage::CPointFormPage(CmySheet* sheet, const QString& title) : CWizardPage(sheet, title) {
  auto* grid = new QGridLayout(this);
  text_ = Label(this, 1345, QString());
  text_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label1338_ = Label(this, 1338, QStringLiteral("Минимальное значение величины, в процентах:"));
  edit1353_ = Edit(this, 1353);
  unit1341_ = Label(this, 1341, QStringLiteral("%"));
  label1339_ = Label(this, 1339, QStringLiteral("Минимальное значение величины, в единицах:"));
  edit1354_ = Edit(this, 1354);
  unit1342_ = Label(this, 1342, QStringLiteral("ед."));
  label1340_ = Label(this, 1340, QStringLiteral("Текущее значение напряжения:"));
  edit1355_ = Edit(this, 1355);
  unit1343_ = Label(this, 1343, QStringLiteral("мВ"));
  grid->addWidget(text_, 0, 0, 1, 3);
  grid->addWidget(label1338_, 1, 0);
  grid->addWidget(edit1353_, 1, 1);
  grid->addWidget(unit1341_, 1, 2);
  grid->addWidget(label1339_, 2, 0);
  grid->addWidget(edit1354_, 2, 1);
  grid->addWidget(unit1342_, 2, 2);
  grid->addWidget(label1340_, 3, 0);
  grid->addWidget(edit1355_, 3, 1);
  grid->addWidget(unit1343_, 3, 2);
  grid->setRowStretch(0, 1);
}

void CPointFormPage::SetText(const std::string& text) {
  QString shown = QString::fromStdString(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text_->setText(shown);
}

QString CPointFormPage::Text() const { return text_->text(); }

void CPointFormPage::SetIfDiffers(QLineEdit* edit, const QString& text) {
  if (edit != nullptr && edit->text() != text) edit->setText(text);
}
