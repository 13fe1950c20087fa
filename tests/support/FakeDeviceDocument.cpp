#include "support/FakeDeviceDocument.h"

int FakeDeviceDocument::StartInitTask() {
  calls.push_back("init task");
  return initTaskResult;
}
