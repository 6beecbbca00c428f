#pragma once
// Loading and saving the settings file set.ini in the program's folder.
//
// Errors: loading never fails (what cannot be read loads as empty boxes).
// A save that fails leaves the old file as it was and says so in a message
// box, with the path and the reason. Nothing throws.

#include "platform/controls.h"

#include <QString>

namespace settings {

// The creation handler: fills 编辑框1 to 编辑框5 from set.ini.
void loadSettings(platform::Controls& controls, const QString& programDirectory);

// The click handler of 按钮4 "保存".
void saveSettings(platform::Controls& controls, const QString& programDirectory);

// The address list in its one-line form under "IP": '%', CR and LF become
// "%25", "%0D" and "%0A"; nothing else changes.
platform::Text encodeAddressList(const platform::Text& list);
platform::Text decodeAddressList(const platform::Text& stored);

} // namespace settings
