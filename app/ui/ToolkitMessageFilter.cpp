#include "app/ui/ToolkitMessageFilter.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/ToolkitMessages.h"

namespace {

bool g_batchRun = false;
bool g_developerAsked = false;

ToolkitMessageLevel LevelOf(QtMsgType type) {
  switch (type) {
    case QtDebugMsg: return ToolkitMessageLevel::Debug;
    case QtInfoMsg: return ToolkitMessageLevel::Info;
    case QtWarningMsg: return ToolkitMessageLevel::Warning;
    case QtCriticalMsg: return ToolkitMessageLevel::Critical;
    case QtFatalMsg: return ToolkitMessageLevel::Fatal;
  }
  return ToolkitMessageLevel::Warning;
}

void Filter(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (!ToolkitMessageShown(LevelOf(type), g_batchRun, g_developerAsked)) return;
  const QByteArray line = qFormatLogMessage(type, context, text).toLocal8Bit();
  std::fprintf(stderr, "%s\n", line.constData());
  std::fflush(stderr);
}

}  // namespace

void InstallToolkitMessageFilter(bool batchRun) {
  g_batchRun = batchRun;
  const char* asked = std::getenv("Z580_QT_MESSAGES");
  g_developerAsked = asked != nullptr && std::strcmp(asked, "1") == 0;
  qInstallMessageHandler(Filter);
}
