#pragma once

#include <atomic>
#include <cstdint>
#include <utility>

#include "wordmill/FilterStep.h"
#include "wordmill/StepSequence.h"

namespace rowsmith::wordmill {

// What php-serialized and json-strings share: the steps in their braces,
// whether those steps also see keys, and the count of values left as they
// were because writing them back would have broken them.
//
// Threading: immutable apart from the atomic count; apply() of a subclass is
// safe from several threads at once.
class StructuredStep : public FilterStep {
 public:
  std::uint64_t valuesKeptAsTheyWere() const override {
    return m_kept.load(std::memory_order_relaxed) + m_inner.valuesKeptAsTheyWere();
  }

 protected:
  StructuredStep(StepSequence inner, bool keys) : m_inner(std::move(inner)), m_keys(keys) {}

  const StepSequence& inner() const { return m_inner; }
  bool keys() const { return m_keys; }
  void countKept() const { m_kept.fetch_add(1, std::memory_order_relaxed); }

 private:
  StepSequence m_inner;
  bool m_keys;
  mutable std::atomic<std::uint64_t> m_kept{0};
};

}  // namespace rowsmith::wordmill
