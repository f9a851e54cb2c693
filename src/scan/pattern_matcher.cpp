#include "scan/pattern_matcher.h"

#include <unicode/regex.h>

#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "web/codepage.h"

namespace vorpane {
namespace {

// ICU counts a run's work in steps of 10,000 backtracking state saves, over
// all the finds since the matcher was reset. The group pattern takes under
// one step on a 20 KiB page and about 500 on the largest page the fetcher
// keeps (64 MiB); 2000 steps, about half a second on current machines, end a
// pathological run before it stalls the window for long.
constexpr int32_t run_time_limit_steps = 2000;

// The backtracking stack lives on the heap; ICU's own default bound, stated
// here so that it is visibly part of the run's limits.
constexpr int32_t run_stack_limit_bytes = 8 * 1024 * 1024;

// A run records the start and the end of every group of every match. A
// pattern that matches the empty text matches at every position, so with many
// groups the records could outgrow the memory; past this many (32 MiB) the run
// fails. The group pattern records six per match of over 100 characters.
constexpr size_t match_collection_record_limit = size_t{1} << 22;

const Text quote_mark_word = cp936_from_utf8("#引号");

icu::UnicodeString alias_of(std::u16string_view text) {
  return icu::UnicodeString(false, text.data(), static_cast<int32_t>(text.size()));
}

std::u16string_view view_of(const icu::UnicodeString& text) {
  return std::u16string_view(text.getBuffer(), static_cast<size_t>(text.length()));
}

}  // namespace

struct PatternMatcher::Engine {
  std::unique_ptr<icu::RegexPattern> pattern;
};

// Everything a run found, in the engine's UTF-16 indices.
struct PatternMatcher::MatchCollection {
  std::u16string subject;
  int32_t group_count = 0;
  // For each match in order, the start and the end of the match itself and
  // then of each capture group; -1 for a group that took no part.
  std::vector<int32_t> bounds;

  size_t records_per_match() const { return static_cast<size_t>(group_count) + 1; }
  size_t index(int32_t match_index, int32_t group) const {
    return 2 *
           (static_cast<size_t>(match_index) * records_per_match() + static_cast<size_t>(group));
  }
  int32_t size() const { return static_cast<int32_t>(bounds.size() / (2 * records_per_match())); }
  int32_t start(int32_t match_index, int32_t group) const {
    return bounds[index(match_index, group)];
  }
  int32_t end(int32_t match_index, int32_t group) const {
    return bounds[index(match_index, group) + 1];
  }
  std::u16string_view text(int32_t match_index, int32_t group) const {
    const int32_t from = start(match_index, group);
    if (from < 0) return {};
    return std::u16string_view(subject).substr(static_cast<size_t>(from),
                                               static_cast<size_t>(end(match_index, group) - from));
  }
};

PatternMatcher::~PatternMatcher() = default;
PatternMatcher::PatternMatcher(const PatternMatcher& other) = default;
PatternMatcher& PatternMatcher::operator=(const PatternMatcher& other) = default;

bool PatternMatcher::create(TextView pattern, TextView subject, bool case_sensitive, bool multiline,
                            bool global, bool expand_quote_marks) {
  engine_.reset();
  matches_.reset();

  uint32_t flags = UREGEX_UNIX_LINES;
  if (!case_sensitive) flags |= UREGEX_CASE_INSENSITIVE;
  if (multiline) flags |= UREGEX_MULTILINE;
  const std::u16string pattern_utf16 = cp936_to_utf16(
      expand_quote_marks ? replace_text(pattern, quote_mark_word, "\"") : Text(pattern));
  UErrorCode status = U_ZERO_ERROR;
  UParseError parse_error;
  auto engine = std::make_shared<Engine>();
  engine->pattern.reset(icu::RegexPattern::compile(
      icu::UnicodeString(pattern_utf16.data(), static_cast<int32_t>(pattern_utf16.size())), flags,
      parse_error, status));
  subject_ = Text(subject);
  if (U_FAILURE(status) || !engine->pattern) return false;
  engine_ = engine;

  auto collection = std::make_shared<MatchCollection>();
  collection->subject = cp936_to_utf16(subject_);
  // ICU indexes with 32-bit integers.
  if (collection->subject.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    return false;
  }
  const icu::UnicodeString input = alias_of(collection->subject);
  std::unique_ptr<icu::RegexMatcher> matcher(engine->pattern->matcher(input, status));
  if (U_FAILURE(status) || !matcher) return false;
  matcher->setTimeLimit(run_time_limit_steps, status);
  matcher->setStackLimit(run_stack_limit_bytes, status);
  collection->group_count = matcher->groupCount();
  const size_t records_per_match = collection->records_per_match();
  while (U_SUCCESS(status) && matcher->find(status)) {
    if (collection->bounds.size() / 2 + records_per_match > match_collection_record_limit) {
      return false;
    }
    for (int32_t group = 0; group <= collection->group_count; ++group) {
      collection->bounds.push_back(matcher->start(group, status));
      collection->bounds.push_back(matcher->end(group, status));
    }
    if (!global) break;
  }
  if (U_FAILURE(status)) return false;
  matches_ = std::move(collection);
  return true;
}

Text PatternMatcher::pattern_text() const {
  if (!engine_) return {};
  return cp936_from_utf16(view_of(engine_->pattern->pattern()));
}

Text PatternMatcher::replace(TextView replacement) const {
  if (!matches_) return {};
  const MatchCollection& matches = *matches_;
  const std::u16string_view subject = matches.subject;
  const std::u16string template_utf16 = cp936_to_utf16(replacement);
  const std::u16string_view model = template_utf16;
  std::u16string result;
  result.reserve(subject.size());
  size_t copied_up_to = 0;
  for (int32_t match = 0; match < matches.size(); ++match) {
    const auto match_start = static_cast<size_t>(matches.start(match, 0));
    const auto match_end = static_cast<size_t>(matches.end(match, 0));
    result.append(subject.substr(copied_up_to, match_start - copied_up_to));
    copied_up_to = match_end;
    for (size_t i = 0; i < model.size(); ++i) {
      const char16_t c = model[i];
      const char16_t next = i + 1 < model.size() ? model[i + 1] : u'\0';
      if (c != u'$') {
        result += c;
      } else if (next == u'$') {
        result += u'$';
        ++i;
      } else if (next == u'&') {
        result.append(matches.text(match, 0));
        ++i;
      } else if (next == u'`') {
        result.append(subject.substr(0, match_start));
        ++i;
      } else if (next == u'\'') {
        result.append(subject.substr(match_end));
        ++i;
      } else if (next >= u'0' && next <= u'9') {
        // Two digits when they name a group, else one, else a plain "$".
        int32_t group = next - u'0';
        size_t digits = 1;
        if (i + 2 < model.size() && model[i + 2] >= u'0' && model[i + 2] <= u'9') {
          const int32_t two_digit_group = group * 10 + (model[i + 2] - u'0');
          if (two_digit_group >= 1 && two_digit_group <= matches.group_count) {
            group = two_digit_group;
            digits = 2;
          }
        }
        if (group >= 1 && group <= matches.group_count) {
          result.append(matches.text(match, group));
          i += digits;
        } else {
          result += c;
        }
      } else {
        result += c;
      }
    }
  }
  result.append(subject.substr(copied_up_to));
  return cp936_from_utf16(result);
}

int32_t PatternMatcher::match_count() const {
  return matches_ ? matches_->size() : 0;
}

Text PatternMatcher::match_text(int32_t match_number, int32_t* position) const {
  return capture_text(match_number, 0, position);
}

Text PatternMatcher::submatch_text(int32_t match_number, int32_t group_number,
                                   int32_t* position) const {
  if (group_number < 1) {
    if (position) *position = not_found;
    return {};
  }
  return capture_text(match_number, group_number, position);
}

int32_t PatternMatcher::submatch_count() const {
  return match_count() > 0 ? matches_->group_count : 0;
}

// Group 0 is the match itself.
Text PatternMatcher::capture_text(int32_t match_number, int32_t group, int32_t* position) const {
  const bool exists = matches_ && match_number >= 1 && match_number <= matches_->size() &&
                      group <= matches_->group_count &&
                      matches_->start(match_number - 1, group) >= 0;
  if (!exists) {
    if (position) *position = not_found;
    return {};
  }
  const int32_t match_index = match_number - 1;
  if (position) {
    // The engine counts UTF-16 units; the converter knows which byte of the
    // subject each unit came from.
    const size_t offset = cp936_offset_of_utf16_index(
        subject_, static_cast<size_t>(matches_->start(match_index, group)));
    *position = offset <= static_cast<size_t>(std::numeric_limits<int32_t>::max())
                    ? static_cast<int32_t>(offset)
                    : not_found;
  }
  return cp936_from_utf16(matches_->text(match_index, group));
}

}  // namespace vorpane
