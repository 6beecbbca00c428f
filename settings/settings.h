#pragma once
// Loading and saving the settings file set.ini in the program's folder.

#include "platform/controls.h"

#include <QString>

namespace settings {

// The creation handler: fills 编辑框1 to 编辑框5 from set.ini.
void loadSettings(platform::Controls& controls, const QString& programDirectory);

// The click handler of 按钮4 "保存".
void saveSettings(platform::Controls& controls, const QString& programDirectory);

} // namespace settings
