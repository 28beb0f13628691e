#include "com/http_request.h"

#include <algorithm>
#include <climits>

#include "http/base64.h"
#include "http/cookies.h"
#include "http/header_block.h"
#include "text/extract.h"
#include "win/com.h"

namespace lv {
namespace {

constexpr std::int32_t kDefaultTimeoutMs = 15000;
constexpr int kProxySettingNamed = 2;
constexpr int kOptionEnableRedirects = 6;
constexpr std::string_view kCrLf = "\r\n";

constexpr const char* kVerbs[] = {"GET",     "POST",   "HEAD",  "PUT",
                                  "OPTIONS", "DELETE", "TRACE", "CONNECT"};
constexpr int kPost = 1;
constexpr int kSettleSeconds = 5;

// The WinHttp class, looked up once per process with its members' ids.
win::AutomationClass& WinHttpClass() {
  static win::AutomationClass winHttp(L"WinHttp.WinHttpRequest.5.1");
  return winHttp;
}

// The request object and how its members are reached: by the class's
// remembered dispatch ids when the object was made here, by name when the
// caller handed one in (it may be of any class).
class RequestObject {
 public:
  RequestObject(IDispatch* object, bool ours) : object_(object), ours_(ours) {}

  win::Variant Call(const wchar_t* name, win::CallKind kind, std::initializer_list<win::Arg> args = {},
                    HRESULT* hr = nullptr) const {
    if (ours_) return WinHttpClass().Invoke(object_, name, kind, args, hr);
    return win::Invoke(object_, name, kind, args, hr);
  }
  win::Variant Method(const wchar_t* name, std::initializer_list<win::Arg> args = {}, HRESULT* hr = nullptr) const {
    return Call(name, win::CallKind::Method, args, hr);
  }
  win::Variant Get(const wchar_t* name, HRESULT* hr = nullptr) const {
    return Call(name, win::CallKind::PropertyGet, {}, hr);
  }
  void Put(const wchar_t* name, std::initializer_list<win::Arg> indexAndValue) const {
    Call(name, win::CallKind::PropertyPut, indexAndValue);
  }

 private:
  IDispatch* object_;
  bool ours_;
};

bool Contains(std::string_view text, std::string_view sub, bool ignoreCase) {
  return Find(text, sub, 1, ignoreCase) > 0;
}

struct DefaultHeader {
  std::string_view marker;
  std::string_view line;  // appended when the marker is missing
};

void AppendUnlessPresent(Text& block, const DefaultHeader& header) {
  if (Contains(block, header.marker, /*ignoreCase=*/true)) return;
  block.append(header.line);
}

// The browser-like headers every request carries unless the caller's block
// already holds their markers. The markers are looked for anywhere in the
// block, so a header such as X-Accept also keeps the default Accept out; a
// later default sees what the earlier ones appended.
Text WithDefaultHeaders(Text block, std::string_view url, bool post) {
  const Text referer = "\r\nReferer: " + Text(url);
  const DefaultHeader headers[] = {
      {"Accept:", "\r\nAccept: */*"},
      {"Referer:", referer},
      {"Accept-Language:", "\r\nAccept-Language: zh-cn"},
      {"User-Agent:", "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)"},
  };
  for (const DefaultHeader& header : headers) AppendUnlessPresent(block, header);
  if (post) {
    AppendUnlessPresent(block, {"Content-Type:", "\r\nContent-Type: application/x-www-form-urlencoded"});
  }
  return block;
}

// Milliseconds for SetTimeouts, or nothing when the object keeps its own.
// A number of seconds too large for the milliseconds to fit is held at the
// largest value the object accepts.
std::optional<int> TimeoutMs(std::int32_t seconds) {
  if (seconds == -1) return std::nullopt;
  if (seconds <= 0) return kDefaultTimeoutMs;
  if (seconds > INT_MAX / 1000) return INT_MAX;
  return seconds * 1000;
}

void SetHeader(const RequestObject& request, std::string_view name, std::string_view value) {
  request.Method(L"SetRequestHeader", {name, value});
}

// The Basic header goes out with the request itself, before any challenge
// from the proxy.
void SetProxyCredentials(const RequestObject& request, const HttpRequestOptions& o, int flags) {
  if (o.ProxyAddress.empty() || o.ProxyUser.empty()) return;
  request.Method(L"SetCredentials", {o.ProxyUser, o.ProxyPassword, flags});
  if (flags != 1) return;
  SetHeader(request, "Proxy-Authorization", "Basic " + Base64Encode(ToBytes(o.ProxyUser + ":" + o.ProxyPassword)));
}

void SendCookies(const RequestObject& request, Text& cookies) {
  if (!cookies.empty() && Contains(cookies, "Cookie:", /*ignoreCase=*/true)) {
    cookies = Replace(cookies, "Cookie:", "", /*matchCase=*/false);
  }
  SetHeader(request, "Cookie", cookies);
}

// A block without CR LF is one header, sent even when empty. Lines of a
// longer block are sent one by one; a keep-alive line is left out there
// because the object manages its connections itself.
void SendHeaderBlock(const RequestObject& request, const Text& block) {
  if (!Contains(block, kCrLf, /*ignoreCase=*/false)) {
    SetHeader(request, HeaderName(block), HeaderValue(block));
    return;
  }
  for (const Text& line : Split(block, kCrLf)) {
    if (line.empty()) continue;
    const Text name = HeaderName(line);
    const Text value = HeaderValue(line);
    if (name == "Connection" && value == "keep-alive") continue;
    SetHeader(request, name, value);
  }
}

HRESULT Send(const RequestObject& request, const HttpRequestOptions& o) {
  HRESULT hr = E_FAIL;
  if (!o.BodyBytes.empty()) {
    request.Method(L"Send", {o.BodyBytes}, &hr);
  } else {
    request.Method(L"Send", {o.BodyText}, &hr);
  }
  return hr;
}

// The request is sent asynchronously and waited for with the object's own
// wait, because some WinHttp builds ignore the time-outs of a synchronous
// Send and wait for a silent server for ever. A server silent for one whole
// time-out is given up on, as the time-outs intend; one whose answer has
// begun may take up to four (resolve, connect, send, receive) in all. Gives
// the failure code, 0 when the answer is complete; the request is aborted
// when it is not.
HRESULT WaitForAnswer(const RequestObject& request, std::optional<int> timeoutMs) {
  constexpr int kPhases = 4;
  const int seconds = timeoutMs ? std::max(1, *timeoutMs / 1000) : -1;
  for (int phase = 0; phase < kPhases; ++phase) {
    HRESULT hr = E_FAIL;
    const win::Variant answer = request.Method(L"WaitForResponse", {seconds}, &hr);
    const VARIANT& done = answer;
    if (FAILED(hr)) return hr;
    // Only an explicit "not yet" means waiting on; anything else is read.
    if (done.vt != VT_BOOL || done.boolVal != VARIANT_FALSE) return S_OK;
    if (seconds < 0) return S_OK;
    HRESULT statusHr = E_FAIL;
    request.Get(L"Status", &statusHr);
    if (FAILED(statusHr)) break;  // not even the status line yet
  }
  // The wait after Abort lets the object's own receiving come to rest before
  // it is released; some WinHttp builds crash when an object is let go
  // while an aborted body is still being received.
  request.Method(L"Abort");
  request.Method(L"WaitForResponse", {kSettleSeconds});
  return HRESULT_FROM_WIN32(kWinHttpTimeout);
}

// A number the 32-bit range cannot hold, held at either end by the clamp, is
// no status a server sent.
std::int32_t StatusOf(const RequestObject& request) {
  const int status = ClampToInt(win::VariantToNumber(request.Get(L"Status")));
  return status == INT_MIN || status == INT_MAX ? 0 : status;
}

// The name=value pair of every "Set-Cookie: " line (name spelt exactly so),
// joined by "; ".
Text ReceivedCookies(const Text& headers) {
  Text cookies;
  for (const Text& line : Split(headers, kCrLf)) {
    if (TextBefore(line, ": ") != "Set-Cookie") continue;
    const Text pair = Contains(line, ";", /*ignoreCase=*/false)
                          ? TextBetween(line, "Set-Cookie:", ";")
                          : Replace(line, "Set-Cookie:", "", /*matchCase=*/false);
    cookies += Trim(pair) + "; ";
  }
  if (Right(cookies, 2) == "; ") cookies.resize(cookies.size() - 2);
  return cookies;
}

}  // namespace

ByteSet HttpRequest(std::string_view Url, const HttpRequestOptions& options) {
  const HttpRequestOptions& o = options;
  const bool autoMergeCookies = o.AutoMergeCookies.value_or(true);
  const bool addDefaultHeaders = o.AddDefaultHeaders.value_or(true);
  const bool normalizeHeaderNames = o.NormalizeHeaderNames.value_or(true);
  const int credentialFlags = o.CredentialFlags.value_or(1);

  // COM is initialised before the object exists and undone after its release.
  win::ComScope com;
  const int method = (o.Method < 0 || o.Method > 7) ? 0 : o.Method;

  win::ComPtr<IDispatch> object = o.ExistingRequest ? win::ComPtr<IDispatch>::Share(*o.ExistingRequest)
                                                    : WinHttpClass().Create();
  if (!o.ExistingRequest && !object) return {};
  const RequestObject request(object.Get(), !o.ExistingRequest);

  if (const std::optional<int> ms = TimeoutMs(o.TimeoutSeconds)) {
    request.Method(L"SetTimeouts", {*ms, *ms, *ms, *ms});
  }
  if (!o.ProxyAddress.empty()) {
    request.Method(L"SetProxy", {kProxySettingNamed, o.ProxyAddress});
  }
  request.Method(L"Open", {kVerbs[method], Url, /*async=*/true});
  if (o.DisableRedirects) request.Put(L"Option", {kOptionEnableRedirects, 0});
  // Certificate errors are deliberately not ignored: HTTPS requests keep the
  // object's certificate checks.

  Text block = o.RequestHeaders;
  if (addDefaultHeaders) block = WithDefaultHeaders(std::move(block), Url, method == kPost);
  if (normalizeHeaderNames) block = NormalizeHeaderBlock(block);

  SetProxyCredentials(request, o, credentialFlags);
  if (o.RequestCookies) SendCookies(request, *o.RequestCookies);
  SendHeaderBlock(request, block);
  HRESULT sent = Send(request, o);
  if (SUCCEEDED(sent)) sent = WaitForAnswer(request, TimeoutMs(o.TimeoutSeconds));
  if (o.SendResult) *o.SendResult = static_cast<std::int32_t>(sent);

  const win::Variant body = request.Get(L"ResponseBody");

  Text scratchHeaders;
  Text& responseHeaders = o.ResponseHeaders ? *o.ResponseHeaders : scratchHeaders;
  responseHeaders = win::VariantToText(request.Method(L"GetAllResponseHeaders"));

  std::int32_t scratchStatus = 0;
  std::int32_t& statusCode = o.StatusCode ? *o.StatusCode : scratchStatus;
  statusCode = StatusOf(request);

  Text scratchCookies;
  Text& responseCookies = o.ResponseCookies ? *o.ResponseCookies : scratchCookies;
  responseCookies = ReceivedCookies(responseHeaders);
  if (autoMergeCookies && o.RequestCookies) {
    responseCookies = MergeCookies(*o.RequestCookies, responseCookies);
  }
  // The object lets go of its own copy of the body before the caller's is
  // made, so a large page is never held three times over.
  object.Reset();
  return win::VariantToBytes(body);
}

}  // namespace lv
