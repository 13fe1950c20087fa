#pragma once
// A document of the program connected to a simulated module: the module on a
// pseudo-terminal, the program's stored port settings pointing at it, and the
// window layer faked by Views; Prompter answers the message boxes.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "DocumentTestSupport.h"
#include "Simulator.h"
#include "app/CPelmDoc.h"
#include "link/Device.h"
#include "platform/Prompter.h"
#include "support/FakeTaskWindow.h"
#include "support/SimModule.h"

template <class Views, class Prompter = platform::CollectingPrompter>
class SimDocumentTest : public DocumentTestBase {
 protected:
  void TearDown() override {
    doc_.reset();
    if (sim_) sim_->Stop();
    DocumentTestBase::TearDown();
  }

  void StartModule(int model) { ASSERT_NO_FATAL_FAILURE(testsupport::StartModuleForProgram(sim_, model)); }

  // The program's document: it connects in its constructor.
  void OpenDocument() {
    doc_ = std::make_unique<CPelmDoc>(&views_, true);
    doc_->GetDevice()->finishPauseMs = 0;
    doc_->initPauseMs = 0;
    ASSERT_TRUE(doc_->OnNewDocument());
    ASSERT_NE(doc_->rootBranch, nullptr);
  }

  Views views_;
  Prompter prompter_;
  FakeTaskWindow window_;
  std::unique_ptr<z580sim::Simulator> sim_;
  std::unique_ptr<CPelmDoc> doc_;
};
