#include "engine/journal/JournalFormat.h"

#include <charconv>
#include <cstring>
#include <utility>

#include "common/Error.h"

namespace rowsmith::journal {

char* writeField(char* out, std::optional<std::string_view> value) {
  if (!value) {
    *out = '~';
    return out + 1;
  }
  // Most values are shorter than a hundred bytes: their length is written
  // without the general conversion.
  const std::size_t size = value->size();
  if (size < 10) {
    *out++ = static_cast<char>('0' + size);
  } else if (size < 100) {
    *out++ = static_cast<char>('0' + size / 10);
    *out++ = static_cast<char>('0' + size % 10);
  } else {
    out = std::to_chars(out, out + kFieldRoom, size).ptr;
  }
  *out++ = ':';
  if (!value->empty()) std::memcpy(out, value->data(), value->size());
  return out + value->size();
}

char* writeNumberField(char* out, long long number) {
  // Counts and column numbers: mostly a single digit.
  if (number >= 0 && number < 10) {
    out[0] = '1';
    out[1] = ':';
    out[2] = static_cast<char>('0' + number);
    return out + 3;
  }
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
  return writeField(out, std::string_view(digits, static_cast<std::size_t>(end - digits)));
}

void appendField(std::string& out, std::optional<std::string_view> value) {
  const std::size_t start = out.size();
  out.resize(start + kFieldRoom + (value ? value->size() : 0));
  out.resize(static_cast<std::size_t>(writeField(out.data() + start, value) - out.data()));
}

RecordReader::RecordReader(std::FILE* file, std::string path)
    : m_file(file), m_path(std::move(path)) {}

void RecordReader::readHeader() {
  std::string first(kJournalHeader.size(), '\0');
  const std::size_t got = std::fread(first.data(), 1, first.size(), m_file);
  if (got != first.size() || first != kJournalHeader)
    throw Error(m_path + " is not an undo journal of this program (it should begin with \"" +
                std::string(kJournalHeader.substr(0, kJournalHeader.size() - 1)) + "\")");
}

void RecordReader::damaged(long long offset) const {
  throw Error("The undo journal " + m_path + " is damaged at byte " + std::to_string(offset) +
              "; nothing was changed");
}

int RecordReader::readField(Field& field) {
  int c = std::fgetc(m_file);
  if (c == EOF) return -1;
  if (c == '~') {
    field.reset();
    return 1;
  }
  unsigned long long length = 0;
  int digits = 0;
  while (c >= '0' && c <= '9') {
    length = length * 10 + static_cast<unsigned>(c - '0');
    if (++digits > 15) return -2;
    c = std::fgetc(m_file);
  }
  if (c == EOF) return -1;
  if (digits == 0 || c != ':') return -2;
  field.emplace(static_cast<std::size_t>(length), '\0');
  if (length > 0 && std::fread(field->data(), 1, field->size(), m_file) != field->size()) return -1;
  return 1;
}

bool RecordReader::next(Record& record) {
  record.offset = std::ftell(m_file);
  record.fields.clear();
  const int type = std::fgetc(m_file);
  if (type == EOF) return false;
  if (type < 'A' || type > 'Z') damaged(record.offset);
  record.type = static_cast<char>(type);
  for (;;) {
    const int c = std::fgetc(m_file);
    if (c == EOF) return false;  // cut short
    if (c == '\n') return true;
    std::ungetc(c, m_file);
    Field field;
    const int got = readField(field);
    if (got == -1) return false;
    if (got == -2) damaged(record.offset);
    record.fields.push_back(std::move(field));
  }
}

Record RecordReader::readAt(long long offset) {
  if (std::fseek(m_file, offset, SEEK_SET) != 0) damaged(offset);
  Record record;
  if (!next(record)) damaged(offset);
  return record;
}

long long fieldNumber(const Field& field, const std::string& path) {
  long long number = 0;
  if (field) {
    const char* end = field->data() + field->size();
    const auto result = std::from_chars(field->data(), end, number);
    if (result.ec == std::errc() && result.ptr == end && !field->empty()) return number;
  }
  throw Error("The undo journal " + path + " is damaged: a count is not a number");
}

}  // namespace rowsmith::journal
