#include "wordmill/FilterParser.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "wordmill/AffixStep.h"
#include "wordmill/CaseStep.h"
#include "wordmill/FilterCompileError.h"
#include "wordmill/FilterLexer.h"
#include "wordmill/JsonStringsStep.h"
#include "wordmill/NullIfStep.h"
#include "wordmill/PairsStep.h"
#include "wordmill/PhpSerializedStep.h"
#include "wordmill/RegexStep.h"
#include "wordmill/ReplaceStep.h"
#include "wordmill/StepArgumentError.h"
#include "wordmill/Utf8.h"
#include "wordmill/WhiteSpaceStep.h"

namespace rowsmith::wordmill {

namespace {

// What one line gives a step's builder, and for a structured step the steps
// in its braces.
struct StepArguments {
  std::vector<std::string> texts;
  std::vector<std::string> options;
  const std::string& filterPath;
  std::string where;  // "filter PATH, line N"
  std::vector<std::unique_ptr<const FilterStep>> steps;

  bool has(std::string_view option) const {
    return std::find(options.begin(), options.end(), option) != options.end();
  }
};

struct StepForm {
  std::string_view name;
  std::size_t textCount;
  std::vector<std::string_view> options;
  std::string_view usage;
  std::function<std::unique_ptr<const FilterStep>(StepArguments&)> build;
  // Whether the step holds steps in braces.
  bool holdsSteps = false;
};

template <typename Step, typename... Args>
std::unique_ptr<const FilterStep> make(Args&&... args) {
  return std::make_unique<const Step>(std::forward<Args>(args)...);
}

const std::vector<StepForm>& stepForms() {
  using A = StepArguments&;
  static const std::vector<StepForm> forms = {
      {"replace",
       2,
       {"ignore-case", "whole-word", "first"},
       "replace \"find\" \"with\" [ignore-case] [whole-word] [first]",
       [](A a) {
         return make<ReplaceStep>(
             a.texts[0], a.texts[1],
             LiteralMatcher::Options{a.has("ignore-case"), a.has("whole-word")}, a.has("first"));
       }},
      {"regex",
       2,
       {"ignore-case", "multiline", "dotall", "extended", "first"},
       "regex \"pattern\" \"with\" [ignore-case] [multiline] [dotall] [extended] [first]",
       [](A a) {
         return make<RegexStep>(
             a.texts[0], a.texts[1],
             RegexStep::Options{a.has("ignore-case"), a.has("multiline"), a.has("dotall"),
                                a.has("extended"), a.has("first")},
             a.where);
       }},
      {"pairs",
       1,
       {"ignore-case", "whole-word"},
       "pairs \"table.tsv\" [ignore-case] [whole-word]",
       [](A a) {
         return make<PairsStep>(PairsTable::load(a.texts[0], a.filterPath),
                                LiteralMatcher::Options{a.has("ignore-case"), a.has("whole-word")});
       }},
      {"upper", 0, {}, "upper", [](A) { return make<CaseStep>(CaseStep::Mode::kUpper); }},
      {"lower", 0, {}, "lower", [](A) { return make<CaseStep>(CaseStep::Mode::kLower); }},
      {"title", 0, {}, "title", [](A) { return make<CaseStep>(CaseStep::Mode::kTitle); }},
      {"trim", 0, {}, "trim", [](A) { return make<WhiteSpaceStep>(WhiteSpaceStep::Mode::kTrim); }},
      {"trim-start",
       0,
       {},
       "trim-start",
       [](A) { return make<WhiteSpaceStep>(WhiteSpaceStep::Mode::kTrimStart); }},
      {"trim-end",
       0,
       {},
       "trim-end",
       [](A) { return make<WhiteSpaceStep>(WhiteSpaceStep::Mode::kTrimEnd); }},
      {"collapse-spaces",
       0,
       {},
       "collapse-spaces",
       [](A) { return make<WhiteSpaceStep>(WhiteSpaceStep::Mode::kCollapse); }},
      {"prepend",
       1,
       {},
       "prepend \"text\"",
       [](A a) { return make<AffixStep>(AffixStep::Side::kPrepend, a.texts[0]); }},
      {"append",
       1,
       {},
       "append \"text\"",
       [](A a) { return make<AffixStep>(AffixStep::Side::kAppend, a.texts[0]); }},
      {"null-if-empty", 0, {}, "null-if-empty", [](A) { return make<NullIfStep>(std::string()); }},
      {"null-if", 1, {}, "null-if \"text\"", [](A a) { return make<NullIfStep>(a.texts[0]); }},
      {"php-serialized",
       0,
       {"keys"},
       "php-serialized [keys] { steps }",
       [](A a) { return make<PhpSerializedStep>(StepSequence(std::move(a.steps)), a.has("keys")); },
       true},
      {"json-strings",
       0,
       {"keys"},
       "json-strings [keys] { steps }",
       [](A a) { return make<JsonStringsStep>(StepSequence(std::move(a.steps)), a.has("keys")); },
       true},
  };
  return forms;
}

std::string join(const std::vector<std::string_view>& words) {
  std::string joined;
  for (const auto word : words) {
    if (!joined.empty()) joined += ", ";
    joined += word;
  }
  return joined;
}

std::string plural(std::size_t count, const char* word) {
  return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

// "php-serialized { or json-strings {"
std::string stepsThatHoldSteps() {
  std::string names;
  for (const auto& form : stepForms()) {
    if (!form.holdsSteps) continue;
    if (!names.empty()) names += " or ";
    names += std::string(form.name) + " {";
  }
  return names;
}

// The byte offset just after a token.
std::size_t endOf(const FilterToken& token) {
  return token.kind == FilterToken::Kind::kText ? token.sourceOffsets.back() + 1
                                                : token.offset + token.text.size();
}

// A structured step whose "{" has been read and whose "}" has not yet.
struct OpenBlock {
  const StepForm* form;
  StepArguments arguments;
  int line;
  int column;  // of the "{"
};

// Reads a filter's lines, keeping the steps read so far and the blocks that
// are open.
class SourceReader {
 public:
  explicit SourceReader(const std::string& path) : m_path(path) {}

  void readLine(std::string_view line, int lineNumber);
  std::vector<std::unique_ptr<const FilterStep>> finish();

 private:
  // Reads the step that starts at tokens[first]; returns the index of the
  // token after it.
  std::size_t readStep(std::size_t first);
  void closeBlock(const FilterToken& brace);
  [[noreturn]] void fail(std::size_t byteOffset, const std::string& message) const {
    throw FilterCompileError(m_lineNumber, utf8::columnOf(m_line, byteOffset), message);
  }
  // The list the next step belongs to.
  std::vector<std::unique_ptr<const FilterStep>>& target() {
    return m_open.empty() ? m_steps : m_open.back().arguments.steps;
  }

  const std::string& m_path;
  std::vector<std::unique_ptr<const FilterStep>> m_steps;
  std::vector<OpenBlock> m_open;
  std::string_view m_line;
  int m_lineNumber = 0;
  std::vector<FilterToken> m_tokens;
};

void SourceReader::readLine(std::string_view line, int lineNumber) {
  m_line = line;
  m_lineNumber = lineNumber;
  m_tokens = FilterLexer::tokenise(line, lineNumber);
  std::size_t next = 0;
  while (next < m_tokens.size()) {
    const FilterToken& token = m_tokens[next];
    if (token.kind != FilterToken::Kind::kCloseBrace) {
      next = readStep(next);
      continue;
    }
    closeBlock(token);
    ++next;
    if (next < m_tokens.size() && m_tokens[next].kind != FilterToken::Kind::kCloseBrace) {
      fail(m_tokens[next].offset,
           "only another } may follow a } on its line; start the next step on a new line");
    }
  }
}

void SourceReader::closeBlock(const FilterToken& brace) {
  if (m_open.empty()) fail(brace.offset, "this } has no { to close");
  OpenBlock block = std::move(m_open.back());
  m_open.pop_back();
  try {
    target().push_back(block.form->build(block.arguments));
  } catch (const StepArgumentError& error) {
    throw FilterCompileError(block.line, block.column, error.what());
  }
}

std::vector<std::unique_ptr<const FilterStep>> SourceReader::finish() {
  if (!m_open.empty()) {
    const OpenBlock& block = m_open.back();
    throw FilterCompileError(
        block.line, block.column,
        std::string(block.form->name) + " { is never closed: add a } after the steps it holds");
  }
  return std::move(m_steps);
}

std::size_t SourceReader::readStep(std::size_t first) {
  const FilterToken& name = m_tokens[first];
  if (name.kind == FilterToken::Kind::kText) {
    fail(name.offset, std::string(first == 0 ? "a line" : "a step") +
                          " must start with a step name, not a text in double quotes; the "
                          "steps are: " +
                          FilterParser::stepNames());
  }
  if (name.kind == FilterToken::Kind::kOpenBrace) {
    fail(name.offset,
         "a { must follow the step that holds the steps, on its line: " + stepsThatHoldSteps());
  }
  const auto& forms = stepForms();
  const auto form = std::find_if(forms.begin(), forms.end(),
                                 [&](const StepForm& s) { return s.name == name.text; });
  if (form == forms.end()) {
    fail(name.offset,
         "unknown step \"" + name.text + "\"; the steps are: " + FilterParser::stepNames());
  }
  const std::string stepName(form->name);
  const std::string usage = "write it as: " + std::string(form->usage);

  // The step's texts and options run up to a brace or the end of the line.
  std::size_t end = first + 1;
  while (end < m_tokens.size() && (m_tokens[end].kind == FilterToken::Kind::kWord ||
                                   m_tokens[end].kind == FilterToken::Kind::kText)) {
    ++end;
  }
  StepArguments arguments{
      {}, {}, m_path, "filter " + m_path + ", line " + std::to_string(m_lineNumber), {}};
  std::vector<const FilterToken*> textTokens;
  std::size_t next = first + 1;
  for (; textTokens.size() < form->textCount; ++next) {
    if (next >= end) {
      fail(endOf(m_tokens[end - 1]),
           stepName + " needs " + plural(form->textCount, "text") + " in double quotes; " + usage);
    }
    const FilterToken& token = m_tokens[next];
    if (token.kind != FilterToken::Kind::kText) {
      fail(token.offset,
           stepName + " expects a text in double quotes here, not " + token.text + "; " + usage);
    }
    textTokens.push_back(&token);
    arguments.texts.push_back(token.text);
  }
  for (; next < end; ++next) {
    const FilterToken& token = m_tokens[next];
    if (token.kind == FilterToken::Kind::kText) {
      fail(token.offset, form->textCount == 0 ? stepName + " takes no text; " + usage
                                              : "too many texts: " + stepName + " takes " +
                                                    plural(form->textCount, "text") + "; " + usage);
    }
    if (std::find(form->options.begin(), form->options.end(), token.text) == form->options.end()) {
      fail(token.offset, form->options.empty()
                             ? stepName + " takes no options; " + usage
                             : "unknown option \"" + token.text + "\" for " + stepName +
                                   "; its options are: " + join(form->options));
    }
    arguments.options.push_back(token.text);
  }

  const bool opensBlock =
      end < m_tokens.size() && m_tokens[end].kind == FilterToken::Kind::kOpenBrace;
  if (opensBlock && !form->holdsSteps) {
    fail(m_tokens[end].offset, stepName + " holds no steps in braces; " + usage);
  }
  if (form->holdsSteps) {
    if (!opensBlock) {
      fail(endOf(m_tokens[end - 1]),
           stepName + " needs the steps it holds in braces, opened on its line; " + usage);
    }
    m_open.push_back(
        {&*form, std::move(arguments), m_lineNumber, utf8::columnOf(m_line, m_tokens[end].offset)});
    return end + 1;
  }

  try {
    target().push_back(form->build(arguments));
  } catch (const StepArgumentError& error) {
    const FilterToken& token = *textTokens.at(error.textIndex());
    const auto& offsets = token.sourceOffsets;
    if (error.offset() == StepArgumentError::kWholeText) fail(token.offset, error.what());
    fail(error.offset() < offsets.size() ? offsets[error.offset()] : offsets.back(), error.what());
  }
  return end;
}

}  // namespace

std::string FilterParser::stepNames() {
  std::vector<std::string_view> names;
  for (const auto& form : stepForms()) names.push_back(form.name);
  return join(names);
}

std::vector<std::unique_ptr<const FilterStep>> FilterParser::parse(std::string_view source) const {
  SourceReader reader(m_path);
  if (source.starts_with("\xEF\xBB\xBF")) source.remove_prefix(3);
  int lineNumber = 0;
  while (!source.empty()) {
    const std::size_t end = source.find('\n');
    std::string_view line = source.substr(0, end);
    source.remove_prefix(end == std::string_view::npos ? source.size() : end + 1);
    ++lineNumber;
    if (line.ends_with('\r')) line.remove_suffix(1);
    reader.readLine(line, lineNumber);
  }
  return reader.finish();
}

}  // namespace rowsmith::wordmill
