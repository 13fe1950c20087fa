#pragma once
// Installs the filter of the toolkit's messages (app/ToolkitMessages.h) before the
// toolkit starts, so that the platform's first notes are filtered too.
void InstallToolkitMessageFilter(bool batchRun);
