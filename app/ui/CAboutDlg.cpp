#include "app/ui/CAboutDlg.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QStyle>

#include "app/ui/CommandImages.h"
#include "model/AppVersionTexts.h"
#include "resources/StringTable.h"

namespace Dialogs {

namespace {
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("О программе"));
  const model::AppVersionTexts& texts = model::CurrentAppVersionTexts();
  auto* layout = new QGridLayout(this);
  auto* icon = new QLabel(this);
  icon->setPixmap(ProgramIcon().pixmap(32, 32));
  layout->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
  productName = new QLabel(QString::fromStdString(texts.productName), this);
  version = new QLabel(QString::fromStdString(resources::LoadString(kStrVersion) + texts.fileVersion), this);
  legalNotice = new QLabel(QString::fromStdString(texts.legalNotice), this);
  layout->addWidget(productName, 0, 1);
  layout->addWidget(version, 1, 1);
  layout->addWidget(legalNotice, 2, 1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons, 3, 0, 1, 2);
}

}  // namespace Dialogs
