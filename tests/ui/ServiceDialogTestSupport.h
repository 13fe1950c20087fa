#pragma once
// The service dialogs' tests: the program's document connected to a simulated
// module of a chosen model, views whose APLY dialog is the real one, and a helper
// that acts on the modal dialog once it shows (and closes it should it hang).
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "app/SimDocumentTest.h"
#include "Simulator.h"
#include "app/DocumentTestSupport.h"
#include "app/ui/ServiceDialogs.h"
#include "link/Device.h"
#include "model/DescriptionStore.h"
#include "platform/Prompter.h"
#include "platform/Registry.h"
#include "support/FakeTaskWindow.h"

class ApplyDialogViews : public FakeViews {
 public:
  bool RunApplyDialog(CPelmDoc& document) override {
    ++applyDialogs;
    return ::RunApplyDialog(document, nullptr);
  }
};

// Calls act with the first modal dialog that shows; a dialog still open after
// limitMs is rejected, so that a failing test never hangs.
inline void WhenModal(std::function<void(QDialog*)> act, int limitMs = 20000) {
  auto* timer = new QTimer;
  auto started = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, [timer, started, act, limitMs] {
    *started += 5;
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog && dialog->isVisible()) {
      timer->stop();
      timer->deleteLater();
      act(dialog);
      return;
    }
    if (*started > limitMs) {
      timer->stop();
      timer->deleteLater();
    }
  });
  timer->start(5);
}

using ServiceDialogTest = SimDocumentTest<ApplyDialogViews>;
