#pragma once
// The program's version texts as the service element reads them from the
// version information; the About box shows them. Empty until a tree was built.
#include <string>

namespace model {

struct AppVersionTexts {
  std::string productName;
  std::string fileVersion;  // "1.0.0.1" form
  std::string legalNotice;
};

// The holder in force: the one installed by the application object, else a
// process-wide default.
AppVersionTexts& CurrentAppVersionTexts();
// Installs the application's holder (null restores the default); returns the previous one.
AppVersionTexts* SetAppVersionTexts(AppVersionTexts* texts);

}  // namespace model
