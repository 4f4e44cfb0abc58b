#pragma once

#include <istream>
#include <string>

namespace rowsmith {

class TSettings;

// The whole ".rsm" settings stream around the TSettings data block: the
// signature, the object header (type name and object name), the property
// list and the two end markers. Property names are matched without regard to
// case: "TSettings" is the data block, "Tag" and "Name" fill the object's tag
// and name, any other name fails with "Property does not exist".
//
// A failure while a property is read is reported as
// "Error reading <object name or TSettings>.<property>: <message>"; failures
// outside the property list are reported as they are. Nothing is rolled
// back: fields read before the failure keep their new values.
//
// Threading: stateless; the settings object passed in must not be shared.
class SettingsStream {
 public:
  // The bytes of a settings file holding `settings`.
  static std::string write(const TSettings& settings);
  // Reads one settings stream into `settings`; raises rowsmith::Error.
  // Bytes after the end of the object are not read.
  static void read(std::istream& in, TSettings& settings);
};

}  // namespace rowsmith
