#include "app/ui/CStateInOutDlg.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QPointer>
#include <QPushButton>
#include <algorithm>

#include "app/CPelmDoc.h"
#include "app/ui/CGradientStatic.h"
#include "app/ui/CmyStatic.h"
#include "app/ui/ServiceDialogs.h"
#include "app/ui/CStateTableCtrl.h"
#include "devices/CBaseDevice.h"
#include "link/AppState.h"
#include "model/Parameter.h"

namespace Dialogs {
namespace {

BaseDevice::CBaseDevice* CurrentModel() { return dynamic_cast<BaseDevice::CBaseDevice*>(App().DeviceModel()); }

template <typename T>
T At(const std::vector<T>& v, int row) {
  return row >= 0 && row < static_cast<int>(v.size()) ? v[static_cast<size_t>(row)] : nullptr;
}

constexpr int kRightShift = 0xAB;  // output indicators beside the inputs side

}  // namespace

CStateInOutDlg::CStateInOutDlg(CPelmDoc& document, QWidget* parent) : QDialog(parent), document_(document) {
  BaseDevice::CBaseDevice* model = CurrentModel();
  std::string title = model ? model->GetStateWindowTitle() : std::string("Состояние входов и выходов");
  if (const size_t br = title.rfind('\n'); br != std::string::npos) title = title.substr(br + 1);
  setWindowTitle(QString::fromStdString(title));
  QFont font(QStringLiteral("MS Shell Dlg"));
  font.setPointSize(8);
  setFont(font);

  inputsCaption_ = new CGradientStatic(QStringLiteral("Входы"), this);
  outputsCaption_ = new CGradientStatic(QStringLiteral("Выходы"), this);
  inputs_ = new myClass::CStateTableCtrl(this);
  inputs_->setObjectName(QStringLiteral("inputs"));
  outputs_ = new myClass::CStateTableCtrl(this);
  outputs_->setObjectName(QStringLiteral("outputs"));
  inputsCaption_->setGeometry(DialogUnits({0, 0, 160, 16}));
  outputsCaption_->setGeometry(DialogUnits({161, 0, 321, 16}));
  inputs_->setGeometry(DialogUnits({7, 75, 155, 239}));
  outputs_->setGeometry(DialogUnits({170, 75, 318, 210}));
  auto* allOutputs = new QPushButton(QStringLiteral("Вкл/Выкл все ВЭ"), this);  // 3, never shown
  allOutputs->setGeometry(DialogUnits({167, 225, 241, 239}));
  connect(allOutputs, &QPushButton::clicked, this, &CStateInOutDlg::OnAllOutputs);
  auto* close = new QPushButton(QStringLiteral("Закрыть"), this);  // 2, never shown
  close->setGeometry(DialogUnits({268, 225, 318, 239}));
  connect(close, &QPushButton::clicked, this, &CStateInOutDlg::reject);
  for (QWidget* w : std::initializer_list<QWidget*>{inputsCaption_, outputsCaption_, inputs_, outputs_, allOutputs, close})
    w->hide();

  if (model) {
    model->FillInputsList(inputs_);
    model->FillOutputsList(outputs_);
  }
  for (int row = 0; row < inputs_->GetItemCount(); ++row) {
    inputObjects_.push_back(inputs_->RowObject(row));
    inputParameters_.push_back(dynamic_cast<Parameter*>(inputs_->RowObject(row)));
  }
  for (int row = 0; row < outputs_->GetItemCount(); ++row)
    outputParameters_.push_back(dynamic_cast<Parameter*>(outputs_->RowObject(row)));
  marks_.Resize(inputs_->GetItemCount(), outputs_->GetItemCount());
  const auto link = [this] { return document_.GetLink(); };
  inputs_->Attach(link, [this](int row) { return marks_.Input(row); });
  outputs_->Attach(link, [this](int row) { return marks_.Output(row); });

  const bool hasInputs = model && model->HasInputs();
  const bool hasOutputs = model && model->HasOutputs();
  if (hasInputs) {
    inputsCaption_->show();
    inputs_->show();
    BaseDevice::Rect first;
    model->GetInputLedRect(first);
    PlaceLeds(inputs_->GetItemCount(), first, model->GetInputLedStep(), model->GetLedRowStep(),
              myClass::CmyStatic::kInputId, inputLeds_);
  } else {
    outputs_->move(inputs_->pos());
  }
  if (hasOutputs) {
    outputsCaption_->show();
    outputs_->show();
    if (!hasInputs) outputsCaption_->setGeometry(inputsCaption_->geometry());
    BaseDevice::Rect first;
    model->GetOutputLedRect(first);
    if (hasInputs) {
      first.left += kRightShift;
      first.right += kRightShift;
    }
    PlaceLeds(outputs_->GetItemCount(), first, model->GetOutputLedStep(), model->GetLedRowStep(),
              myClass::CmyStatic::kOutputId, outputLeds_);
  }
  int width = DialogUnits({0, 0, 325, 246}).width();
  if (!hasInputs || !hasOutputs) width = outputsCaption_->geometry().right() + 1 + 14;
  inputs_->FitHeightToRows();
  outputs_->FitHeightToRows();
  const int tallest = std::max(hasInputs ? inputs_->height() : 0,
                               hasOutputs ? outputs_->height() : 0);
  inputs_->AutoSizeColumns(nullptr);
  outputs_->AutoSizeColumns(nullptr);
  FitTablesToColumns(hasInputs, hasOutputs);
  for (const QWidget* table : {static_cast<QWidget*>(inputs_), static_cast<QWidget*>(outputs_)})
    if (table->isVisibleTo(this)) width = std::max(width, table->geometry().right() + 1 + 14);
  setFixedSize(width, tallest + inputs_->y() + 20);

  poller_ = std::make_unique<StatePoller>(*this, document_.GetLink(), marks_);
  QPointer<CStateInOutDlg> self(this);
  worker_ = std::make_unique<StatePollThread>([this] { poller_->Tick(CurrentModel()); },
                                              [self] {
                                                // The worker ended: the posted Cancel now ends the dialog.
                                                QMetaObject::invokeMethod(
                                                    self.data(),
                                                    [self] {
                                                      if (self) self->reject();
                                                    },
                                                    Qt::QueuedConnection);
                                              });
  worker_->Start();
}

CStateInOutDlg::~CStateInOutDlg() { worker_.reset(); }

void CStateInOutDlg::FitTablesToColumns(bool hasInputs, bool hasOutputs) {
  // The columns took the width their captions need; the tables take their columns'
  // width, and the outputs side moves right by what the inputs table grew.
  const int inputsRight = inputs_->geometry().right();
  const int outputsRight = outputs_->geometry().right();
  inputs_->FitWidthToColumns();
  outputs_->FitWidthToColumns();
  int shift = 0;
  if (hasInputs) {
    shift = std::max(0, inputs_->geometry().right() - inputsRight);
    inputsCaption_->resize(inputsCaption_->width() + shift, inputsCaption_->height());
    if (hasOutputs) {
      outputsCaption_->move(outputsCaption_->x() + shift, outputsCaption_->y());
      outputs_->move(outputs_->x() + shift, outputs_->y());
      for (myClass::CmyStatic* led : outputLeds_) led->move(led->x() + shift, led->y());
    }
  }
  const int outputsGrowth = hasOutputs ? std::max(0, outputs_->geometry().right() - outputsRight - shift) : 0;
  outputsCaption_->resize(outputsCaption_->width() + outputsGrowth, outputsCaption_->height());
}

QRect CStateInOutDlg::DialogUnits(const BaseDevice::Rect& r) const {
  // Dialog units of the dialog's font: a quarter of the average character width,
  // an eighth of the character height.
  const QFontMetrics metrics(font());
  const double x = metrics.averageCharWidth() / 4.0;
  const double y = metrics.height() / 8.0;
  const int left = static_cast<int>(r.left * x);
  const int top = static_cast<int>(r.top * y);
  return QRect(left, top, static_cast<int>(r.right * x) - left, static_cast<int>(r.bottom * y) - top);
}

void CStateInOutDlg::PlaceLeds(int rowCount, BaseDevice::Rect first, int columnStep, int rowStep, int controlId,
                               std::vector<myClass::CmyStatic*>& leds) {
  for (const LedPlace& place : LayoutLeds(rowCount, first, columnStep, rowStep)) {
    auto* led = new myClass::CmyStatic(place.number, controlId, this);
    led->setGeometry(DialogUnits(place.rect));
    led->show();
    leds.push_back(led);
  }
}

myClass::CmyStatic* CStateInOutDlg::InputLed(int row) const { return At(inputLeds_, row); }
myClass::CmyStatic* CStateInOutDlg::OutputLed(int row) const { return At(outputLeds_, row); }
bool CStateInOutDlg::WorkerStopped() const { return worker_->Stopped(); }

void CStateInOutDlg::reject() {
  // Closing by any path (Escape, the close box, Alt+F4) writes no half-typed output.
  for (myClass::CStateTableCtrl* table : {inputs_, outputs_})
    if (table != nullptr) table->DropEditors();
  if (worker_->OnCancel()) QDialog::reject();
}

void CStateInOutDlg::accept() { reject(); }

void CStateInOutDlg::closeEvent(QCloseEvent* event) {
  event->ignore();
  reject();
}

void CStateInOutDlg::OnAllOutputs() {
  if (model::LinkOps* link = document_.GetLink()) SwitchAllOutputs(outputParameters_, *link);
}

// ---------------------------------------------------------------- the worker's view

int CStateInOutDlg::GetInputRowCount() { return static_cast<int>(inputObjects_.size()); }
BaseDevice::StateIndicator* CStateInOutDlg::GetInputIndicator(int row) { return At(inputLeds_, row); }
CObject* CStateInOutDlg::GetInputRowObject(int row) { return At(inputObjects_, row); }
Parameter* CStateInOutDlg::InputParameter(int row) { return At(inputParameters_, row); }
int CStateInOutDlg::GetOutputRowCount() { return static_cast<int>(outputParameters_.size()); }
Parameter* CStateInOutDlg::OutputParameter(int row) { return At(outputParameters_, row); }
BaseDevice::StateIndicator* CStateInOutDlg::GetOutputIndicator(int row) { return At(outputLeds_, row); }

void CStateInOutDlg::SetInputCell(int row, const ValueText& text) {
  QMetaObject::invokeMethod(this, [this, row, text] { inputs_->SetItemText(row, 0, text); }, Qt::QueuedConnection);
}

void CStateInOutDlg::SetInputRowColour(int row, model::ColorRef colour) {
  QMetaObject::invokeMethod(this, [this, row, colour] { inputs_->SetRowColor(row, colour); }, Qt::QueuedConnection);
}

void CStateInOutDlg::SetOutputCell(int row, const ValueText& text) {
  QMetaObject::invokeMethod(this, [this, row, text] { outputs_->SetItemText(row, 0, text); }, Qt::QueuedConnection);
}

void CStateInOutDlg::SetOutputRowColour(int row, model::ColorRef colour) {
  QMetaObject::invokeMethod(this, [this, row, colour] { outputs_->SetRowColor(row, colour); }, Qt::QueuedConnection);
}

}  // namespace Dialogs

void RunStateDialog(CPelmDoc& document, QWidget* parent) {
  Dialogs::CStateInOutDlg dialog(document, parent);
  dialog.exec();
}
