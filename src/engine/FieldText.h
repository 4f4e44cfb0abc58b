#pragma once

#include <string>
#include <string_view>

#include "engine/db/api/RecordSet.h"

namespace rowsmith {

// Reads one field of the current row as text, never raising: NULL gives
// empty text, text as it is, numbers, dates and Booleans in their usual form
// (ISO 8601 dates, "." as the decimal point, integers and exact decimals in
// full). Binary data, and any field that cannot be read, gives "BLOB".
std::string readFieldText(db::RecordSet& recordSet, int column);

// The same text without a copy where the record set holds it: `text` then
// views the record set's value, valid until the record set moves or the
// field is set; numbers and Booleans are written to `scratch`, which `text`
// views instead. False, with `text` empty, for a value that has no text form
// (binary data, a field that cannot be read): such values are never written
// back. `isNull` tells a NULL from empty text.
bool viewFieldText(db::RecordSet& recordSet, int column, std::string& scratch,
                   std::string_view& text, bool& isNull);

// True when readFieldText could only give "BLOB" for this field's value:
// such values are never written back.
bool fieldIsOpaque(db::RecordSet& recordSet, int column);

}  // namespace rowsmith
