#include "document/SettingsStream.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "common/Error.h"
#include "document/ObjectStreamReader.h"
#include "document/ObjectStreamTags.h"
#include "document/ObjectStreamWriter.h"
#include "document/Settings.h"

namespace rowsmith {

namespace {

constexpr std::string_view kClassName = "TSettings";
constexpr std::string_view kDataProperty = "TSettings";
constexpr std::string_view kTagProperty = "Tag";
constexpr std::string_view kNameProperty = "Name";

bool sameText(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

void readProperty(ObjectStreamReader& reader, const std::string& property, TSettings& settings) {
  if (sameText(property, kDataProperty)) {
    settings.ReadSettingsData(reader);
  } else if (sameText(property, kTagProperty)) {
    settings.tag = reader.readInteger();
  } else if (sameText(property, kNameProperty)) {
    settings.name = reader.readString();
  } else {
    reader.skipValue();
    throw Error(std::string(objectstream::kPropertyDoesNotExist));
  }
}

}  // namespace

std::string SettingsStream::write(const TSettings& settings) {
  ObjectStreamWriter writer;
  writer.writeSignature();
  writer.writeName(kClassName);
  writer.writeName("");
  writer.writeName(kDataProperty);
  settings.WriteSettingsData(writer);
  writer.writeListEnd();  // end of the property list
  writer.writeListEnd();  // end of the contained objects: there are none
  return writer.bytes();
}

void SettingsStream::read(std::istream& in, TSettings& settings) {
  ObjectStreamReader reader(in);
  reader.readSignature();
  reader.skipFlags();
  reader.readName();  // the type name: the object is always a TSettings
  settings.name = reader.readName();
  while (!reader.endOfList()) {
    const std::string property = reader.readName();
    try {
      readProperty(reader, property, settings);
    } catch (const Error& e) {
      const std::string owner = settings.name.empty() ? std::string(kClassName) : settings.name;
      throw Error("Error reading " + owner + "." + property + ": " + e.what());
    }
  }
  reader.readListEnd();  // end of the property list
  reader.readListEnd();  // end of the contained objects
}

}  // namespace rowsmith
