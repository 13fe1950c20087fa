#include "calibration/ui/CErrorPage.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "calibration/CommonWizard.h"
#include "platform/Prompter.h"

CTextPage::CTextPage(CmySheet* sheet, const QString& title, bool withIcon) : CWizardPage(sheet, title) {
  auto* layout = new QHBoxLayout(this);
  if (withIcon) {
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    layout->addWidget(icon);
  }
  text_ = new QLabel(this);
  text_->setObjectName(QStringLiteral("id1345"));
  text_->setWordWrap(true);
  text_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  layout->addWidget(text_, 1);
}

void CTextPage::SetText(const std::string& text) {
  // The texts keep the line breaks of the original edit control.
  QString shown = QString::fromStdString(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text_->setText(shown);
}

QString CTextPage::Text() const { return text_->text(); }

CErrorPage::CErrorPage(CmySheet* sheet) : CTextPage(sheet, QStringLiteral("Ошибка юстировки"), true) {}

void CErrorPage::OnSetActive() {
  sheet()->SetWizardButtons(CmySheet::kFinish);
  sheet()->SetFinishText(QStringLiteral("Повторить"));
  sheet()->SetButtonText(CmySheet::kIdCancel, QStringLiteral("Выход"));
  SetText(calibration::ErrorPageText(message));
}

void CErrorPage::OnKillActive() { sheet()->SetButtonText(CmySheet::kIdCancel, QStringLiteral("Отмена")); }

bool CErrorPage::OnWizardFinish() {
  sheet()->SetActivePage(0);
  return false;
}

CSavePage::CSavePage(CmySheet* sheet, const QString& title) : CTextPage(sheet, title) {}

void CSavePage::OnSetActive() {
  SetText("Для сохранения юстировочных коэффициентов в энергонезависимой памяти прибора нажмите кнопку «Сохранить».");
  sheet()->SetWizardButtons(CmySheet::kFinish);
  sheet()->SetFinishText(QStringLiteral("Сохранить"));
}

bool CSavePage::OnWizardFinish() {
  if (sheet()->link() == nullptr) return true;
  const std::string error = calibration::SaveCoefficients(*sheet()->link());
  if (error.empty()) return true;
  // Not saved: the page stays and "Сохранить" can be pressed again.
  platform::ShowMessage(error, calibration::kCalibrationErrorCaption, platform::MessageIcon::Warning);
  return false;
}
