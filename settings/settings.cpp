#include "settings/settings.h"

namespace settings {

void loadSettings(platform::Controls&, const QString&) {}

void saveSettings(platform::Controls&, const QString&) {}

} // namespace settings
