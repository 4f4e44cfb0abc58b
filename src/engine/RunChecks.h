#pragma once

#include "wordmill/FilterServer.h"

namespace rowsmith {

class TSettings;

// The checks a job passes before a run starts: its settings must be
// complete (TSettings::Validate) and every filter must open and compile on
// `server`. The compiled filters are released at once. Raises the first
// failure as rowsmith::Error ("The data source is blank", "Couldn't open "
// and the path, a compile message, "No transforms have been specified").
//
// Threading: runs on the thread that owns `server`.
void checkJob(const TSettings& settings, wordmill::FilterApplication& server);

}  // namespace rowsmith
