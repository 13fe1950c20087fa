#pragma once
// Shared set-up of the document's tests: a private configuration folder, the
// application state at its start with the program's directory where the build
// put zt580.dat, views that record what the document asked of them, and walks
// over a tree's parameters.
#include <optional>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "support/ReadFile.h"
#include "support/TreeFixtures.h"
#include "support/ScopedConfigDir.h"
#include "app/CPelmDoc.h"
#include "app/DocumentViews.h"
#include "link/AlternateFraming.h"
#include "link/AppState.h"
#include "model/DeviceModelHooks.h"
#include "platform/Registry.h"

inline std::string EnvPath(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

inline std::string BuiltProgramDirectory() { return EnvPath("Z580_BUILD_DIR") + "/app/ui/"; }

class FakeViews : public DocumentViews {
 public:
  int updates = 0;
  int waitCursors = 0;
  int rowDeletes = 0;
  int setupDialogs = 0;
  int applyDialogs = 0;
  bool setupResult = true;
  bool applyResult = true;
  void UpdateAllViews() override { ++updates; }
  void BeginWaitCursor() override { ++waitCursors; }
  void EndWaitCursor() override {}
  void DeleteTreeRows() override { ++rowDeletes; }
  bool RunConnectionSetup(Device&) override {
    ++setupDialogs;
    if (setupPicksModel >= 0) App().modelIndex = setupPicksModel;
    return setupResult;
  }
  void SaveModifiedBeforeModelChange(CPelmDoc& document) override {
    ++saveOffers;
    if (!saveOfferPath.empty()) {
      std::string error;
      saved = document.OnSaveDocument(saveOfferPath, error);
    }
  }
  std::string saveOfferPath;  // where the offer saves the document, "" nowhere
  bool saved = false;
  int setupPicksModel = -1;  // the model the dialog sets, -1 none
  int saveOffers = 0;
  bool RunApplyDialog(CPelmDoc&) override {
    ++applyDialogs;
    return applyResult;
  }
};

class DocumentTestBase : public ::testing::Test {
 protected:
  void SetUp() override {
    config_.emplace("z580-doc");
    root_ = config_->Path();
    App().Reset();
    App().SetProgramDirectory(BuiltProgramDirectory());
    model::SetCurrentDeviceModel(nullptr);
    exchange::SetProtocolSelector(exchange::kSelectorOwnFrame);
    // A port that does not exist unless a test names its module's.
    WriteProgramString("port_path", "/nonexistent/z580-port");
  }
  void TearDown() override {
    App().Reset();
    exchange::SetProtocolSelector(exchange::kSelectorOwnFrame);
    config_.reset();
  }

  std::string Path(const std::string& name) const { return root_ + "/" + name; }

  std::string root_;

 private:
  std::optional<ScopedConfigDir> config_;
};

// The first parameter of the subtree (the test fails without one).
inline Parameter& FirstParameter(DescBranch& branch) {
  Parameter* first = nullptr;
  ForEachParameter(branch, [&](Parameter& p) {
    if (!first) first = &p;
  });
  if (!first) {
    ADD_FAILURE() << "a tree without parameters";
    static Parameter none;
    return none;
  }
  return *first;
}

// Everything a configuration file keeps of a parameter, as one line per parameter.
inline std::vector<std::string> Snapshot(DescBranch& root) {
  std::vector<std::string> lines;
  ForEachParameter(root, [&](Parameter& p) {
    lines.push_back(p.name + "|" + std::to_string(p.linearIndex) + "|" + p.value + "|" + p.note + "|" +
                    p.description + "|" + std::to_string(p.valueChanged) + std::to_string(p.editableChanged) +
                    std::to_string(p.ownerChanged) + "|" + std::to_string(p.editable) + std::to_string(p.owner) +
                    "|" + std::to_string(p.writable) + std::to_string(p.indexed) + "|" +
                    std::to_string(p.requestIndex) + "|" + std::to_string(p.mode));
  });
  return lines;
}

// Names and values alone.
inline std::vector<std::string> Values(DescBranch& root) {
  std::vector<std::string> lines;
  ForEachParameter(root, [&](Parameter& p) { lines.push_back(p.name + "=" + p.value); });
  return lines;
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
