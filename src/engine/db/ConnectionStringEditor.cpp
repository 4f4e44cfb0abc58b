#include "engine/db/ConnectionStringEditor.h"

#include <strings.h>

#include <algorithm>

#include "common/Error.h"
#include "engine/db/api/ConnectionString.h"
#include "engine/db/odbc/OdbcConnectionText.h"

namespace rowsmith::db {

namespace {

using Pair = ConnectionStringEditor::Pair;

bool keyIs(const std::string& key, const char* name) { return strcasecmp(key.c_str(), name) == 0; }

std::vector<Pair> odbcPairsOf(const std::string& text, bool* complete) {
  const odbc::OdbcConnectionText odbcText(text);
  std::vector<Pair> pairs;
  for (const auto& part : odbcText.parts())
    if (part.isPair()) pairs.push_back({part.key, part.value, part.text});
  if (complete) *complete = odbcText.complete();
  return pairs;
}

// The pairs as the backend the string is for reads them: ODBC strings with
// braces, all others with quotes.
std::vector<Pair> pairsOf(const std::string& text, bool* complete) {
  const ConnectionString connectionString(text);
  if (backendOf(connectionString) == Backend::Odbc) return odbcPairsOf(text, complete);
  std::vector<Pair> pairs;
  for (std::size_t i = 0; i < connectionString.pairs().size(); ++i) {
    const auto& [key, value] = connectionString.pairs()[i];
    pairs.push_back({key, value, connectionString.pairTexts()[i]});
  }
  if (complete) *complete = connectionString.complete();
  return pairs;
}

Backend backendOfPairs(const std::vector<Pair>& pairs) {
  std::vector<std::pair<std::string, std::string>> values;
  for (const Pair& pair : pairs) values.emplace_back(pair.key, pair.value);
  return backendOf(ConnectionString::fromPairs(std::move(values)));
}

}  // namespace

ConnectionStringEditor::ConnectionStringEditor(const std::string& text) : m_original(text) {
  bool complete = true;
  m_originalPairs = pairsOf(text, &complete);
  m_pairs = m_originalPairs;
  const Backend backend = backendOfPairs(m_pairs);
  m_understood = complete && (backend == Backend::SQLite || backend == Backend::PostgreSQL ||
                              backend == Backend::MariaDB || backend == Backend::Odbc);
}

std::string ConnectionStringEditor::text() const {
  if (!changed()) return m_original;
  const bool odbc = backend() == Backend::Odbc;
  std::string out;
  for (const Pair& pair : m_pairs) {
    if (!out.empty()) out += ';';
    if (!pair.text.empty()) {
      out += pair.text;
    } else {
      out += pair.key + '=' +
             (odbc ? odbc::OdbcConnectionText::brace(pair.key, pair.value)
                   : ConnectionString::quote(pair.value));
    }
  }
  return out;
}

Backend ConnectionStringEditor::backend() const { return backendOfPairs(m_pairs); }

std::string ConnectionStringEditor::checkedKey(const std::string& key) {
  const auto first = key.find_first_not_of(" \t");
  const auto last = key.find_last_not_of(" \t");
  const std::string trimmed = first == std::string::npos ? "" : key.substr(first, last - first + 1);
  if (trimmed.empty() || trimmed.find_first_of("=;") != std::string::npos)
    throw Error("\"" + key + "\" cannot be a name in a connection string: a name must not be " +
                "empty or hold \"=\" or \";\"");
  return trimmed;
}

void ConnectionStringEditor::setKey(std::size_t index, const std::string& key) {
  const std::string checked = checkedKey(key);
  Pair& pair = m_pairs.at(index);
  if (pair.key == checked) return;
  pair.key = checked;
  pair.text.clear();
}

void ConnectionStringEditor::setValue(std::size_t index, const std::string& value) {
  Pair& pair = m_pairs.at(index);
  if (pair.value == value) return;
  pair.value = value;
  pair.text.clear();
}

void ConnectionStringEditor::addPair(const std::string& key, const std::string& value) {
  m_pairs.push_back({checkedKey(key), value, {}});
}

void ConnectionStringEditor::removePair(std::size_t index) {
  m_pairs.erase(m_pairs.begin() + static_cast<std::ptrdiff_t>(index));
}

std::optional<std::size_t> ConnectionStringEditor::find(const ConnectionField& field) const {
  if (field.lookup == ConnectionField::Lookup::NamePriority) {
    for (const std::string& name : field.names)
      for (std::size_t i = 0; i < m_pairs.size(); ++i)
        if (keyIs(m_pairs[i].key, name.c_str())) return i;
    return std::nullopt;
  }
  for (std::size_t i = 0; i < m_pairs.size(); ++i)
    if (field.takes(m_pairs[i].key)) return i;
  return std::nullopt;
}

bool ConnectionStringEditor::isRemaining(const Pair& pair, Backend backend) const {
  if (keyIs(pair.key, "Provider")) return false;
  for (const ConnectionField* other : ConnectionField::of(backend))
    if (other->lookup != ConnectionField::Lookup::Remaining && other->takes(pair.key)) return false;
  return true;
}

std::string ConnectionStringEditor::field(ConnectionFieldId id) const {
  const ConnectionField& field = ConnectionField::get(id);
  if (field.lookup == ConnectionField::Lookup::Remaining) {
    std::string out;
    for (const Pair& pair : m_pairs) {
      if (!isRemaining(pair, field.backend)) continue;
      if (!out.empty()) out += ';';
      out += pair.text.empty()
                 ? pair.key + '=' + odbc::OdbcConnectionText::brace(pair.key, pair.value)
                 : pair.text;
    }
    return out;
  }
  const auto index = find(field);
  return index ? m_pairs[*index].value : std::string();
}

void ConnectionStringEditor::setField(ConnectionFieldId id, const std::string& value) {
  const ConnectionField& field = ConnectionField::get(id);
  if (field.lookup == ConnectionField::Lookup::Remaining) {
    std::erase_if(m_pairs, [&](const Pair& pair) { return isRemaining(pair, field.backend); });
    for (Pair& pair : odbcPairsOf(value, nullptr)) {
      // A blank before a part is the separator's business, not the pair's.
      pair.text.erase(0, pair.text.find_first_not_of(" \t"));
      m_pairs.push_back(std::move(pair));
    }
    return;
  }
  if (value.empty()) {
    std::erase_if(m_pairs, [&](const Pair& pair) { return field.takes(pair.key); });
    return;
  }
  for (ConnectionFieldId excluded : field.excludes) setField(excluded, {});
  if (const auto index = find(field))
    setValue(*index, value);
  else
    m_pairs.push_back({field.writtenName, value, {}});
}

void ConnectionStringEditor::setBackend(Backend backend) {
  const Backend current = this->backend();
  if (backend == current) return;
  m_setAside[current] = m_pairs;
  const auto found = m_setAside.find(backend);
  if (found != m_setAside.end())
    m_pairs = found->second;
  else
    m_pairs = {{"Provider", providerNameOf(backend), {}}};
}

const char* ConnectionStringEditor::providerNameOf(Backend backend) {
  switch (backend) {
    case Backend::SQLite:
      return "SQLite";
    case Backend::PostgreSQL:
      return "PostgreSQL";
    case Backend::MariaDB:
      return "MySQL";
    case Backend::Odbc:
      return "MSDASQL";
    default:
      return "";
  }
}

}  // namespace rowsmith::db
