#include "model/CommonParams.h"

#include <sys/utsname.h>

#include <fstream>
#include <memory>

#include "model/AppVersionTexts.h"
#include "platform/Registry.h"
#include "resources/Version.h"

namespace Elements {

CommonParams::CommonParams() { elementName = CommonParams::GetTypeName(); }

int CommonParams::GetImage() { return 20; }

int CommonParams::GetSelectedImage() { return 20; }

std::string CommonParams::GetTypeName() { return "Сервисные параметры программы"; }

std::string CommonParams::DottedVersion(std::string_view fileVersion) {
  std::string out;
  for (size_t i = 0; i < fileVersion.size(); ++i) {
    if (fileVersion.compare(i, 2, ", ") == 0) {
      out += '.';
      ++i;
    } else {
      out += fileVersion[i];
    }
  }
  return out;
}

std::string CommonParams::PrettyNameFromOsRelease(std::string_view content) {
  size_t pos = 0;
  while (pos < content.size()) {
    size_t end = content.find('\n', pos);
    if (end == std::string_view::npos) end = content.size();
    std::string_view line = content.substr(pos, end - pos);
    pos = end + 1;
    constexpr std::string_view kKey = "PRETTY_NAME=";
    if (!line.starts_with(kKey)) continue;
    line.remove_prefix(kKey.size());
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    std::string value;
    if (!line.empty() && (line.front() == '"' || line.front() == '\'')) {
      const char quote = line.front();
      for (size_t i = 1; i < line.size() && line[i] != quote; ++i) {
        if (line[i] == '\\' && quote == '"' && i + 1 < line.size()) ++i;
        value += line[i];
      }
    } else {
      value = std::string(line);
    }
    return value;
  }
  return std::string();
}

std::string CommonParams::OperatingSystemText() {
  std::ifstream in("/etc/os-release", std::ios::binary);
  if (in) {
    std::string content(64 * 1024, '\0');
    in.read(content.data(), static_cast<std::streamsize>(content.size()));
    content.resize(static_cast<size_t>(in.gcount()));
    std::string pretty = PrettyNameFromOsRelease(content);
    if (!pretty.empty()) return pretty;
  }
  struct utsname u;
  if (uname(&u) == 0) return std::string(u.sysname) + " " + u.release;
  return std::string();
}

void CommonParams::InitParameters() {
  InvisibleElement::InitParameters();
  auto add = [this](const char* name, const char* caption) -> Parameter& {
    Parameter& p = AddParameter(std::make_unique<Parameter>(name));
    p.description = caption;
    p.writable = false;
    p.attributes = 0;
    return p;
  };
  Parameter& version = add(" ", "Версия");
  Parameter& copyright = add("  ", "Копирайт");
  Parameter& system = add("   ", "Операционная система");

  model::AppVersionTexts& texts = model::CurrentAppVersionTexts();
  texts.productName = resources::kProductName;
  WriteRegistryString("name", "Zt580", kRegistrationKey);
  texts.fileVersion = DottedVersion(resources::kFileVersion);
  version.value = texts.fileVersion;
  WriteRegistryString("version", texts.fileVersion, kRegistrationKey);
  texts.legalNotice = resources::kLegalCopyright;
  copyright.value = texts.legalNotice;

  system.value = OperatingSystemText();
  ClearModifiedFlags();
}

}  // namespace Elements
