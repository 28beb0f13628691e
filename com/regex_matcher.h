// Runs one regular expression over one subject text through VBScript.RegExp
// and keeps what came out, so that matches and capture groups can be read
// afterwards, numbered from 1. The dialect, the matching and the replacement
// syntax are the object's own.
//
// Every failure is quiet: a member access that fails yields the empty value,
// and every later read in the chain then ends empty too. No index is checked;
// one outside the object's range simply makes its Item fail.
#pragma once

#include <windows.h>

#include <string_view>

#include "text/text.h"
#include "win/com.h"

namespace lv {

class RegexMatcher {
 public:
  // Initialises COM on the calling thread for the matcher's whole life; every
  // operation and the destruction must run on that thread.
  RegexMatcher() = default;
  ~RegexMatcher();
  // A copy would have to share or duplicate the objects and the COM
  // initialisation; nothing needs one.
  RegexMatcher(const RegexMatcher&) = delete;
  RegexMatcher& operator=(const RegexMatcher&) = delete;

  // Starts afresh with a new object: writes the flags (IgnoreCase is the
  // negation of caseSensitive), the pattern (with each quote token turned
  // into a double quote when expandQuoteToken) and runs it over subject. True
  // when a match collection is held afterwards, even an empty one.
  bool Create(std::string_view pattern, std::string_view subject, bool caseSensitive = false,
              bool multiline = true, bool global = true, bool expandQuoteToken = false);
  // The pattern as the object holds it, after any quote-token expansion.
  Text GetPattern() const;
  // The subject with the matches replaced, as the object's Replace does it;
  // the held subject and matches stay as they are.
  Text ReplaceMatches(std::string_view replacement = {}) const;
  int MatchCount() const;
  // position, when asked for, gets the 0-based byte offset of the result in
  // the subject, searched from the match's FirstIndex taken as a byte
  // position; -2 when the result is not found from there.
  Text MatchText(int matchIndex, int* position = nullptr) const;
  // An empty text also for a group that took no part in the match. position
  // is searched from the start of the whole match.
  Text SubMatchText(int matchIndex, int subMatchIndex, int* position = nullptr) const;
  // The number of capture groups of the first match; 0 without a match.
  int SubMatchCount() const;

 private:
  // The match object numbered matchIndex (from 1), or none.
  win::ComPtr<IDispatch> Match(int matchIndex) const;
  int PositionOf(IDispatch* match, std::string_view result) const;

  // Declared first so that COM is uninitialised only after the fields below
  // have given up their references.
  win::ComScope com_;
  win::ComPtr<IDispatch> regExp;   // the VBScript.RegExp of the last Create
  win::ComPtr<IDispatch> matches;  // what its Execute returned
  win::Variant subject;            // the last Create's subject, as a string
};

}  // namespace lv
