#pragma once
// A document for the device models: a tree, a polled branch and a link set by the
// test, and a log of the commands the models ran on it.
#include <string>
#include <vector>

#include "devices/DeviceDocument.h"

class FakeDeviceDocument : public BaseDevice::DeviceDocument {
 public:
  DescBranch* tree = nullptr;
  DescBranch* polled = nullptr;
  model::LinkOps* link = nullptr;
  int initTaskResult = 1;

  // "wait on", "init task", "wait off", "update views", "send init" in call order.
  std::vector<std::string> calls;

  DescBranch* GetParameterTree() override { return tree; }
  DescBranch* GetPolledBranch() override { return polled; }
  model::LinkOps* GetLink() override { return link; }
  int StartInitTask() override;
  void UpdateAllViews() override { calls.push_back("update views"); }
  void OnSendInit() override { calls.push_back("send init"); }
  void BeginWaitCursor() override { calls.push_back("wait on"); }
  void EndWaitCursor() override { calls.push_back("wait off"); }
};
