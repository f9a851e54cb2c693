// PatternMatcher: one regular expression run over one text, and questions
// about the last run (how many matches, their texts, their capture groups and
// where they lie).
//
// The engine is ICU's: pattern and subject are code page 936 Text, converted to
// UTF-16 on every call into the engine and back on every answer. Each create
// compiles a new engine and runs it over the whole subject at once; the
// queries then answer about that run only. A run is bounded in time and in
// backtracking memory, so no pattern and no page can hang or exhaust the
// program: past a bound the run fails.
//
// Failures are results: a pattern the engine rejects, a failed run, or a
// query before any run gives false, 0, empty texts and position -1. Match and
// group numbers count from 1; positions are byte offsets in the subject,
// counted from 0. A matcher is used on one thread at a time.
#pragma once

#include <cstdint>
#include <memory>

#include "web/text.h"

namespace vorpane {

class PatternMatcher {
 public:
  // A new matcher has no engine, no match collection and an empty subject.
  PatternMatcher() { init(); }

  // destroy: releases this matcher's share of the engine and of the match
  // collection, and its subject.
  ~PatternMatcher();

  // copy: the copy shares the engine and the match collection of `other` and
  // holds its own copy of the subject; a later create on either one leaves
  // the other as it was.
  PatternMatcher(const PatternMatcher& other);
  PatternMatcher& operator=(const PatternMatcher& other);

  // Throws away the previous engine, match collection and subject, then
  // compiles `pattern` (every "#引号" first replaced by a double quote when
  // `expand_quote_marks`) and runs it over `subject`, keeping every match
  // when `global` and only the first otherwise. Letters match in either case
  // unless `case_sensitive`; with `multiline`, "^" and "$" also match at line
  // feeds. Only LF ends a line, and "." matches any character but LF. True
  // when the run delivered a match collection, also an empty one; false when
  // the engine rejected the pattern or the run went past its bounds.
  bool create(TextView pattern, TextView subject, bool case_sensitive = false,
              bool multiline = true, bool global = true, bool expand_quote_marks = false);

  // Does nothing.
  void reserved() {}

  // The pattern the engine was compiled from (after the quote-mark
  // expansion); empty when there is no engine: before the first create and
  // after one whose pattern the engine rejected.
  Text pattern_text() const;

  // The subject with the matches of the last run replaced by `replacement`:
  // all of them after a global run, the first otherwise. In `replacement`,
  // "$1" to "$99" stand for a capture group (empty when it took no part), "$&"
  // for the match, "$`" and "$'" for the subject before and after it, "$$" for
  // "$"; any other "$" and every backslash are plain characters. Empty
  // without a match collection.
  Text replace(TextView replacement = {}) const;

  // The number of matches of the last run; 0 without a match collection.
  int32_t match_count() const;

  // The text of match `match_number`. With `position`, also its byte offset
  // in the subject. A match that does not exist gives an empty text and
  // position -1; without `position` nothing is written.
  Text match_text(int32_t match_number, int32_t* position = nullptr) const;

  // The text of capture group `group_number` of match `match_number`, and with
  // `position` its byte offset. A group that took no part in the match, or a
  // match or group that does not exist, gives an empty text and position -1;
  // an empty capture gives an empty text at the place where it matched.
  Text submatch_text(int32_t match_number, int32_t group_number, int32_t* position = nullptr) const;

  // The number of capture groups in the pattern, as seen on the first match;
  // 0 when the last run found no match.
  int32_t submatch_count() const;

  // Prepares the calling thread for the engine. ICU needs no such step, so it
  // does nothing; the constructor runs it, a copy does not.
  void init() {}

 private:
  struct Engine;
  struct MatchCollection;

  Text capture_text(int32_t match_number, int32_t group_number, int32_t* position) const;

  std::shared_ptr<const Engine> engine_;
  std::shared_ptr<const MatchCollection> matches_;
  Text subject_;
};

}  // namespace vorpane
