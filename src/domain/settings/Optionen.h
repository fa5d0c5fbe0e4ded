#pragma once
// What the options dialog checks and saves.

#include <QString>

#include "base/Result.h"
#include "domain/settings/modGlobal.h"

namespace gd {

// The port as the dialog's text gives it; a German refusal outside 1..65535.
Result<qint32> parsePort(const QString& text);
// Writes every setting the dialog owns in one replacement of config.ini; the
// caller reloads with subInitApp. On failure the file keeps its old values.
Status saveOptions(const Settings& s);

}  // namespace gd
