#include "calibration/CommonWizard.h"

#include "calibration/AccessCodes.h"
#include "calibration/CalibrationLink.h"
#include "model/DescBranch.h"
#include "model/Parameter.h"
#include "platform/CFormat.h"
#include "resources/StringTable.h"

namespace calibration {

namespace {
}

std::vector<std::string> SensorChoices(const std::string& inTypeText, bool withoutToken3) {
  std::vector<std::string> choices;
  size_t start = 0;
  for (int token = 0;; ++token) {
    const size_t colon = inTypeText.find(':', start);
    const std::string item = inTypeText.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    if (item.empty()) break;
    if (token >= 2 && !(token == 3 && withoutToken3)) choices.push_back(item);
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  return choices;
}

bool IsCommonWizardCode(const std::string& typed) { return typed == kCommonWizardAccessCode; }

std::string RefusalText(const Parameter& parameter) { return parameter.note.empty() ? std::string(" ") : parameter.note; }

namespace {

std::string StepValueName(const Parameter& p) {
  return p.indexed || p.linearIndex > 0 ? platform::Format("%s:%i", p.name.c_str(), p.linearIndex) : p.name;
}

std::string JoinNames(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& name : names) out += (out.empty() ? "" : ", ") + name;
  return out;
}

}  // namespace

StepWritesResult StepWrites(CalibrationLink& link, const std::vector<StepWrite>& writes) {
  StepWritesResult out;
  for (size_t i = 0; i < writes.size(); ++i) {
    Parameter& p = *writes[i].parameter;
    const std::string before = p.value;
    p.value = writes[i].value;
    if (link.WriteParameter(p) != 0) {
      out.refusal = RefusalText(p);
      p.value = before;
      for (size_t j = i; j < writes.size(); ++j) out.notWritten.push_back(StepValueName(*writes[j].parameter));
      return out;
    }
    // "%f" of a computed value is no text the tree shows: the module's encoding of it is.
    ValueBytes data;
    std::string shown;
    if (p.ConvertToData(data) == MyConverter::kConverted && p.ConvertDataToText(data, shown) == MyConverter::kConverted)
      p.value = shown;
    out.written.push_back(StepValueName(p));
  }
  out.done = true;
  return out;
}

std::string StepWritesResult::Message() const {
  std::string text = refusal;
  if (!written.empty()) text += "\nЗаписано в прибор: " + JoinNames(written) + ".";
  if (!notWritten.empty()) text += "\nНе записано: " + JoinNames(notWritten) + ".";
  return text;
}

std::string WriteSensorType(CalibrationLink& link, DescBranch* tree, const std::string& choice) {
  Parameter* inT = tree ? tree->FindParameter("in-t") : nullptr;
  if (inT == nullptr) return {};
  return StepWrites(link, {{inT, choice}}).refusal;
}

void MakeCommandParameter(Parameter& parameter, const std::string& type, const std::string& value) {
  parameter.type = type;
  parameter.value = value;
}

std::string WriteStepCommand(CalibrationLink& link, const std::string& name) {
  Parameter command(name);
  MakeCommandParameter(command, "int", "0");
  return link.WriteParameter(command) == 0 ? std::string() : RefusalText(command);
}

PollOutcome DecodeResultRead(int readResult, const std::string& text, uint8_t& busyCount) {
  PollOutcome out;
  if (readResult != 0) {
    out.kind = PollOutcome::Failed;
    out.errorText = text == resources::LoadString(kStrTimeOut) ? text + "."
                                                               : "Не удалось считать результат выполненной операции.";
    return out;
  }
  long long number = 0;
  if (platform::ParseInteger(text, 10, number) == 0) {
    out.kind = PollOutcome::KeepText;
    return out;
  }
  out.kind = PollOutcome::Failed;
  switch (number & 0xFF) {
    case 0:
      out.kind = PollOutcome::Done;
      break;
    case 1:
      out.errorText = "Юстировку масштаба следует выполнять после юстировки смещения.";
      break;
    case 2:
      out.errorText = "Значение сигнала на входе выше нормы.";
      break;
    case 3:
      out.errorText = "Значение сигнала на входе ниже нормы.";
      break;
    case 4:
      out.errorText = "Значение сигнала на входе не устойчиво, попробуйте повторить операцию.";
      break;
    case 5:
      out.errorText = "Тип датчика 4…20 мА не калибруется.";
      break;
    case 6:
      ++busyCount;
      if (busyCount > kBusyLimit)
        out.errorText = "Прибору не удается завершить операцию.";
      else
        out.kind = PollOutcome::PollAgain;
      break;
    default:
      out.errorText = platform::Format("Неопознанная ошибка (%i).", platform::ClampToInt(number));
      break;
  }
  return out;
}

PollOutcome ResultPoll::Poll(CalibrationLink& link, int timerId) {
  if (timerId == kFirstPollTimer) busyCount = 0;
  Parameter result("JuRD");
  result.type = "int";
  const int read = link.ReadParameter(result);
  return DecodeResultRead(read, read == 0 ? result.value : result.note, busyCount);
}

std::string SaveCoefficients(CalibrationLink& link) {
  Parameter save("Prmn");
  MakeCommandParameter(save, "int", "0");
  if (link.WriteParameter(save) != 0) return RefusalText(save);
  Parameter apply("UApl");
  MakeCommandParameter(apply, "void", "");
  if (link.WriteParameter(apply) != 0) return RefusalText(apply);
  return {};
}

std::string ErrorPageText(const std::string& message) {
  std::string text = message;
  if (!text.empty()) text += "\r\n\r\n";
  return text + "Для того чтобы повторить операцию юстировки нажмите кнопку «Повторить».";
}

}  // namespace calibration
