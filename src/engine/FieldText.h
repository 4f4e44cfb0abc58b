#pragma once

#include <string>

#include "engine/db/api/RecordSet.h"

namespace rowsmith {

// Reads one field of the current row as text, never raising: NULL gives
// empty text, text as it is, numbers, dates and Booleans in their usual form
// (ISO 8601 dates, "." as the decimal point, integers and exact decimals in
// full). Binary data, and any field that cannot be read, gives "BLOB".
std::string readFieldText(db::RecordSet& recordSet, int column);

// True when readFieldText could only give "BLOB" for this field's value:
// such values are never written back.
bool fieldIsOpaque(db::RecordSet& recordSet, int column);

}  // namespace rowsmith
