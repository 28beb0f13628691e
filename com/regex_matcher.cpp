#include "com/regex_matcher.h"

#include "text/extract.h"

namespace lv {
namespace {

using win::Arg;
using win::ComPtr;
using win::GetProperty;
using win::PutProperty;
using win::VariantToText;

// A count or an index the object returned; 0 when it is no number.
int WholeNumber(const VARIANT& v) { return ClampToInt(win::VariantToNumber(v)); }

// Item of a collection, numbered from 1. The object is handed the index as a
// double, which also keeps INT_MIN - 1 from overflowing.
win::Variant ItemAt(IDispatch* collection, int index) {
  return GetProperty(collection, L"Item", {static_cast<double>(index) - 1});
}

}  // namespace

RegexMatcher::~RegexMatcher() {
  regExp.Reset();
  matches.Reset();
  subject.Put();
}

// The subject parameter is named apart from the field it fills, so that it
// hides no member.
bool RegexMatcher::Create(std::string_view pattern, std::string_view subjectText,
                          bool caseSensitive, bool multiline, bool global,
                          bool expandQuoteToken) {
  regExp.Reset();
  matches.Reset();
  regExp = win::CreateObject(L"VBScript.RegExp");
  PutProperty(regExp.Get(), L"IgnoreCase", {!caseSensitive});
  PutProperty(regExp.Get(), L"Multiline", {multiline});
  // The object has no such member, so this write always fails and the
  // expression never runs with the dot matching line breaks.
  PutProperty(regExp.Get(), L"Singleline", {true});
  PutProperty(regExp.Get(), L"Global", {global});
  PutProperty(regExp.Get(), L"Pattern",
              {expandQuoteToken ? ExpandQuoteToken(pattern) : Text(pattern)});
  subject = win::Variant::FromText(subjectText);
  matches = win::VariantToDispatch(
      win::CallMethod(regExp.Get(), L"Execute", {Arg::Borrow(subject)}));
  return static_cast<bool>(matches);
}

Text RegexMatcher::GetPattern() const {
  return VariantToText(GetProperty(regExp.Get(), L"Pattern"));
}

Text RegexMatcher::ReplaceMatches(std::string_view replacement) const {
  return VariantToText(
      win::CallMethod(regExp.Get(), L"Replace", {Arg::Borrow(subject), replacement}));
}

int RegexMatcher::MatchCount() const {
  return WholeNumber(GetProperty(matches.Get(), L"Count"));
}

Text RegexMatcher::MatchText(int matchIndex, int* position) const {
  const ComPtr<IDispatch> match = Match(matchIndex);
  Text result = VariantToText(GetProperty(match.Get(), L"Value"));
  if (position) *position = PositionOf(match.Get(), result);
  return result;
}

Text RegexMatcher::SubMatchText(int matchIndex, int subMatchIndex, int* position) const {
  const ComPtr<IDispatch> match = Match(matchIndex);
  const ComPtr<IDispatch> groups = win::VariantToDispatch(GetProperty(match.Get(), L"SubMatches"));
  Text result = VariantToText(ItemAt(groups.Get(), subMatchIndex));
  if (position) *position = PositionOf(match.Get(), result);
  return result;
}

int RegexMatcher::SubMatchCount() const {
  const ComPtr<IDispatch> first =
      win::VariantToDispatch(GetProperty(matches.Get(), L"Item", {0}));
  const ComPtr<IDispatch> groups =
      win::VariantToDispatch(GetProperty(first.Get(), L"SubMatches"));
  return WholeNumber(GetProperty(groups.Get(), L"Count"));
}

ComPtr<IDispatch> RegexMatcher::Match(int matchIndex) const {
  return win::VariantToDispatch(ItemAt(matches.Get(), matchIndex));
}

// FirstIndex counts UTF-16 units while the search counts bytes, so the search
// starts early by one byte, less one for every double-byte character before
// the match; its walk through double-byte characters begins right there.
int RegexMatcher::PositionOf(IDispatch* match, std::string_view result) const {
  const int firstIndex = WholeNumber(GetProperty(match, L"FirstIndex"));
  const bool ignoreCase =
      win::VariantToNumber(GetProperty(regExp.Get(), L"IgnoreCase")) != 0;
  const int found = Find(VariantToText(subject), result, firstIndex, ignoreCase);
  return found < 0 ? -2 : found - 1;
}

}  // namespace lv
