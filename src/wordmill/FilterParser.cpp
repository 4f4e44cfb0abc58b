#include "wordmill/FilterParser.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "wordmill/AffixStep.h"
#include "wordmill/CaseStep.h"
#include "wordmill/FilterCompileError.h"
#include "wordmill/FilterLexer.h"
#include "wordmill/NullIfStep.h"
#include "wordmill/PairsStep.h"
#include "wordmill/RegexStep.h"
#include "wordmill/ReplaceStep.h"
#include "wordmill/StepArgumentError.h"
#include "wordmill/Utf8.h"
#include "wordmill/WhiteSpaceStep.h"

namespace rowsmith::wordmill {

namespace {

// What one line gives a step's builder.
struct StepArguments {
  std::vector<std::string> texts;
  std::vector<std::string> options;
  const std::string& filterPath;
  std::string where;  // "filter PATH, line N"

  bool has(std::string_view option) const {
    return std::find(options.begin(), options.end(), option) != options.end();
  }
};

struct StepForm {
  std::string_view name;
  std::size_t textCount;
  std::vector<std::string_view> options;
  std::string_view usage;
  std::function<std::unique_ptr<const FilterStep>(const StepArguments&)> build;
};

template <typename Step, typename... Args>
std::unique_ptr<const FilterStep> make(Args&&... args) {
  return std::make_unique<const Step>(std::forward<Args>(args)...);
}

const std::vector<StepForm>& stepForms() {
  using A = const StepArguments&;
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

}  // namespace

std::string FilterParser::stepNames() {
  std::vector<std::string_view> names;
  for (const auto& form : stepForms()) names.push_back(form.name);
  return join(names);
}

std::vector<std::unique_ptr<const FilterStep>> FilterParser::parse(std::string_view source) const {
  std::vector<std::unique_ptr<const FilterStep>> steps;
  if (source.starts_with("\xEF\xBB\xBF")) source.remove_prefix(3);
  int lineNumber = 0;
  while (!source.empty()) {
    const std::size_t end = source.find('\n');
    std::string_view line = source.substr(0, end);
    source.remove_prefix(end == std::string_view::npos ? source.size() : end + 1);
    ++lineNumber;
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (auto step = parseLine(line, lineNumber)) steps.push_back(std::move(step));
  }
  return steps;
}

std::unique_ptr<const FilterStep> FilterParser::parseLine(std::string_view line,
                                                          int lineNumber) const {
  const std::vector<FilterToken> tokens = FilterLexer::tokenise(line, lineNumber);
  if (tokens.empty()) return nullptr;
  const auto fail = [&](std::size_t byteOffset, const std::string& message) {
    throw FilterCompileError(lineNumber, utf8::columnOf(line, byteOffset), message);
  };

  const FilterToken& name = tokens.front();
  if (name.kind != FilterToken::Kind::kWord) {
    fail(name.offset,
         "a line must start with a step name, not a text in double quotes; the "
         "steps are: " +
             stepNames());
  }
  const auto& forms = stepForms();
  const auto form = std::find_if(forms.begin(), forms.end(),
                                 [&](const StepForm& s) { return s.name == name.text; });
  if (form == forms.end()) {
    fail(name.offset, "unknown step \"" + name.text + "\"; the steps are: " + stepNames());
  }
  const std::string stepName(form->name);
  const std::string usage = "write it as: " + std::string(form->usage);

  StepArguments arguments{
      {}, {}, m_path, "filter " + m_path + ", line " + std::to_string(lineNumber)};
  std::vector<const FilterToken*> textTokens;
  std::size_t next = 1;
  for (; textTokens.size() < form->textCount; ++next) {
    if (next >= tokens.size()) {
      const FilterToken& last = tokens.back();
      fail(last.kind == FilterToken::Kind::kText ? last.sourceOffsets.back() + 1
                                                 : last.offset + last.text.size(),
           stepName + " needs " + plural(form->textCount, "text") + " in double quotes; " + usage);
    }
    const FilterToken& token = tokens[next];
    if (token.kind != FilterToken::Kind::kText) {
      fail(token.offset,
           stepName + " expects a text in double quotes here, not " + token.text + "; " + usage);
    }
    textTokens.push_back(&token);
    arguments.texts.push_back(token.text);
  }
  for (; next < tokens.size(); ++next) {
    const FilterToken& token = tokens[next];
    if (token.kind == FilterToken::Kind::kText) {
      fail(token.offset, form->textCount == 0 ? stepName + " takes no text; " + usage
                                              : "too many texts: " + stepName + " takes " +
                                                    plural(form->textCount, "text") + "; " + usage);
    }
    if (std::find(form->options.begin(), form->options.end(), token.text) == form->options.end()) {
      fail(token.offset, form->options.empty() ? stepName + " takes no options; " + usage
                                               : "unknown option \"" + token.text + "\" for " +
                                                     std::string(form->name) +
                                                     "; its options are: " + join(form->options));
    }
    arguments.options.push_back(token.text);
  }

  try {
    return form->build(arguments);
  } catch (const StepArgumentError& error) {
    const FilterToken& token = *textTokens.at(error.textIndex());
    const auto& offsets = token.sourceOffsets;
    if (error.offset() == StepArgumentError::kWholeText) fail(token.offset, error.what());
    fail(error.offset() < offsets.size() ? offsets[error.offset()] : offsets.back(), error.what());
  }
  return nullptr;
}

}  // namespace rowsmith::wordmill
