#include "app/ToolkitMessages.h"

bool ToolkitMessageShown(ToolkitMessageLevel level, bool batchRun, bool developerAsked) {
  if (level == ToolkitMessageLevel::Critical || level == ToolkitMessageLevel::Fatal) return true;
  return !batchRun || developerAsked;
}
