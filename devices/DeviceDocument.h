#pragma once
// The document as the device models see it. The document class implements it; the
// models never reach the windows or the application through anything else.
class DescBranch;

namespace model {
class LinkOps;
}

namespace BaseDevice {

class DeviceDocument {
 public:
  virtual ~DeviceDocument() = default;

  // The parameter tree (the description's root branch); null while none is loaded.
  virtual DescBranch* GetParameterTree() = 0;
  // The polled-parameter branch (the description's "scanners" branch), or null.
  virtual DescBranch* GetPolledBranch() = 0;
  // The link to the module, or null.
  virtual model::LinkOps* GetLink() = 0;

  // Runs the link's initialise task on the parameter tree; returns its result.
  virtual int StartInitTask() = 0;
  // Redraws every view of the document (no hint).
  virtual void UpdateAllViews() = 0;
  // The document's INIT command: asks its own question, then sends INIT.
  virtual void OnSendInit() = 0;

  virtual void BeginWaitCursor() = 0;
  virtual void EndWaitCursor() = 0;
};

}  // namespace BaseDevice
