#pragma once
// Which of the toolkit's own messages reach standard error. A batch run's
// standard error is read by the script that runs it: it carries the program's
// lines and the toolkit's real faults, not the platform's notes ("This plugin does
// not support propagateSizeHints()" under the offscreen platform).

enum class ToolkitMessageLevel { Debug, Info, Warning, Critical, Fatal };

// Critical and fatal messages always show; the others show in an interactive run,
// and in a batch run only when the developer asked for them (Z580_QT_MESSAGES=1).
bool ToolkitMessageShown(ToolkitMessageLevel level, bool batchRun, bool developerAsked);
