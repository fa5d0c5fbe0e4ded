#pragma once
// The accept step of an import: partner, optional grouping and auction, stored
// together or not at all.

#include "import/Parser.h"

namespace gd {

// True when everything was stored; otherwise the failing function has shown its
// message (or the user declined the duplicate) and nothing of this import is stored.
bool acceptImport(ImportRecords& r);

}  // namespace gd
