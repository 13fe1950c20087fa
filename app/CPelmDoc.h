#pragma once
// The document: the description a model text is parsed into, with the branch
// tree built from it and the firmware version of the connected module; and, as
// the program's one document, the link to the module, the tree's loading,
// the configuration file and the document's commands.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "devices/DeviceDocument.h"
#include "link/BatchSettings.h"
#include "model/CommonParams.h"
#include "model/DescriptionParser.h"

class Device;
class DocumentViews;

namespace platform {
class Archive;
}

// How loading a configuration file ended.
enum class DocumentLoad {
  Loaded,     // every record read
  Truncated,  // the file ended early: loaded as far as it went, no message
  Refused,    // an old or unknown schema, a bad model byte: message 167 or 168
  Broken,     // a malformed record: message 169
  Unreadable, // the file could not be read: message 185
  NoTree,     // the model's tree could not be built (the loader's message)
};

// Why the command line's address ("addr", typed in C's number forms) cannot be
// used with the address length ("alen", else the held one): not a number, or an
// address the request-address guard refuses (negative, beyond the addressing, the
// broadcast address). Empty when it can.
std::string CommandLineAddressRefusal(const exchange::BatchSettings& batch, const std::string& heldAddressLength);

// Whether a file that loaded so becomes the document (its path and title).
inline bool BecomesDocument(DocumentLoad load) {
  return load == DocumentLoad::Loaded || load == DocumentLoad::Truncated;
}

class CPelmDoc : public DescriptionParser, public BaseDevice::DeviceDocument {
 public:
  // Command ids.
  static constexpr int kCmdReadTree = 139;
  static constexpr int kCmdWriteTree = 140;
  static constexpr int kCmdWriteChangedTree = 256;
  static constexpr int kCmdCompareTree = 257;
  static constexpr int kCmdReadBranch = 150;
  static constexpr int kCmdWriteBranch = 151;
  static constexpr int kCmdWriteChangedBranch = 152;
  static constexpr int kCmdCompareBranch = 153;
  static constexpr int kCmdResetDevice = 269;
  static constexpr int kCmdSendInit = 301;
  static constexpr int kCmdApply = 265;
  static constexpr int kCmdCheckLink = 379;
  static constexpr int kCmdPortSetup = 32819;
  static constexpr int kCmdConverterAuto = 32798;
  static constexpr int kCmdConverterSemiAuto = 32799;
  static constexpr int kCmdShowLinearIndexes = 380;
  static constexpr int kCmdAutomaticReading = 134;
  static constexpr int kCmdImmediateWriting = 268;
  static constexpr int kCmdNoAttributes = 294;
  static constexpr int kCmdAccessLevel = 146;

  // The class name and schema of the document's record in a configuration file.
  static constexpr const char* kClassName = "CPelmDoc";
  static constexpr uint16_t kSchema = 5;

  // A parser's document: no link, no service elements, nothing connected.
  CPelmDoc();
  // The program's document: the service elements, the registration value, the
  // command line's link values in a batch run, and with connect the link to the
  // module (an interactive run whose connection fails gets the connection-setup
  // dialog; Cancel there sets the quit flag). views may be null.
  CPelmDoc(DocumentViews* views, bool connect);
  ~CPelmDoc() override;
  CPelmDoc(const CPelmDoc&) = delete;
  CPelmDoc& operator=(const CPelmDoc&) = delete;

  // ---------------------------------------------------------------- the document

  // Builds the current model's tree from the description store in the program's
  // directory, and its device-model object. False when there is no description.
  bool LoadTree();
  // Drops the description lists and every branch, the device-model object made
  // for them, the selection and the rows of the view.
  void ClearContents();
  // Adds the branch's child branches (each before its parent), then the branch,
  // to the tree list.
  void RegisterBranch(DescBranch* branch);
  void InitServiceElements();
  // The command line's link values into the program's port settings (batch run
  // with link values only); the port is reopened when any was set. False (with
  // the reason reported and result flag 0x40) when the address is one no request
  // may go to: nothing is set.
  bool ApplyCommandLineLinkSettings();
  // Set when the command line's address was refused: the run sends nothing.
  bool linkRefused = false;
  // The program's settings go back to what they were before the command line's
  // link values (no module answered with them), so that they are not stored.
  void ForgetCommandLineLinkSettings();

  // Steps of the document manager. False: no new document (the quit flag, or no tree).
  bool OnNewDocument();
  // Reads the file and loads it (content reset, then Serialize). The caller makes
  // the file the document's path only when BecomesDocument(result); a load that
  // reset the tree and then failed leaves the document without path and title.
  DocumentLoad OnOpenDocument(const std::string& path);
  // Builds the file in memory under the exchange lock and writes it atomically;
  // false with the reason when the old file was left as it was.
  bool OnSaveDocument(const std::string& path, std::string& error);
  // The closing exchange, then the device-model object goes.
  void OnCloseDocument();
  // The content reset of every load: the tree's values back to their defaults.
  void DeleteContents();
  // Stores the document, or loads it (the result tells how loading ended).
  DocumentLoad Serialize(platform::Archive& archive);
  // After a load that ended Truncated: how many bytes of the file were loaded.
  size_t truncatedAfter = 0;
  // Of the last file loaded whole: the bytes after its last record.
  size_t trailingBytes = 0;

  // Commands.
  // Tree (139, 140, 256, 257) and branch (150-153) tasks; true when a task ran.
  bool OnTreeTask(int command);
  void OnSendInit() override;
  void OnApply();
  // 380, 134, 268, 294: toggle the program mode.
  void OnModeCommand(int command);
  // 32798, 32799.
  void OnConverterMode(int command);
  // 269: the device model's reset to defaults.
  void OnResetDevice();
  // 379: identifies the module again, with messages; another model gets its tree.
  void OnCheckLink();
  // 32819: the connection-setup dialog; a model found or picked there gets its tree.
  void OnPortSetup();
  // When the model index is no longer previousModel, the new model's tree replaces
  // the old one as a new document (no path, not modified); a modified document is
  // offered for saving first. True when the tree was replaced.
  bool FollowModelChange(int previousModel);
  // Writes the command "INIT"; false with the error text.
  bool SendInitCommand(std::string& errorText);

  // The document's own state.
  Device* GetDevice() { return link_.get(); }
  Elements::CommonParams& ServiceElement() { return serviceElement_; }
  void SetViews(DocumentViews* views) { views_ = views; }
  bool quitFlag = false;
  // The pause after a successful INIT while the module restarts (tests shorten it).
  int initPauseMs = 1000;
  // The branches the view shows (not owned).
  std::vector<DescBranch*> treeList;
  // The tree object of the last picked row or branch command (not owned), or null.
  CObject* selected = nullptr;
  // Path and title; empty path: the document has none yet.
  std::string pathName;
  std::string title;
  bool modified = false;
  // Sets the path and the title (the file's name).
  void SetPathName(const std::string& path);
  void SetTitle(const std::string& text);

  // BaseDevice::DeviceDocument.
  DescBranch* GetParameterTree() override { return rootBranch; }
  DescBranch* GetPolledBranch() override { return scannersBranch; }
  model::LinkOps* GetLink() override;
  int StartInitTask() override;
  void UpdateAllViews() override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;

 private:
  DocumentLoad LoadFromArchive(platform::Archive& archive);
  // The device-model object goes when it is this document's.
  void DropDeviceModel();
  void RebuildFreshTree();
  void CopyNetworkSettingsToProgram();

  std::unique_ptr<Device> link_;
  // The program's settings the command line's link values replaced, by name.
  std::vector<std::pair<std::string, ValueText>> commandLineHeld_;
  Elements::CommonParams serviceElement_;
  DocumentViews* views_ = nullptr;
};
