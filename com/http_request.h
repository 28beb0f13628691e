// The one general HTTP client call of Lumivant: a synchronous request through
// the WinHttp.WinHttpRequest.5.1 automation object. Everything but the
// address is optional; failures are quiet (an empty body, status 0, empty
// header text).
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <optional>
#include <string_view>

#include "text/text.h"

namespace lv {

// Every field can be left out. Plain fields left out mean their empty value;
// the others say what leaving them out means. The pointers refer to the
// caller's variables, which the call writes; null leaves the field out (an
// output left out is still computed, then dropped).
struct HttpRequestOptions {
  // 0 GET, 1 POST, 2 HEAD, 3 PUT, 4 OPTIONS, 5 DELETE, 6 TRACE, 7 CONNECT;
  // anything else is GET.
  std::int32_t Method = 0;
  // Sent when BodyBytes is empty.
  Text BodyText;
  // In/out. Left out: no Cookie header and no merging. Given: any "Cookie:"
  // in it is removed, it is sent, and it ends up holding the merged cookies
  // when AutoMergeCookies is on.
  Text* RequestCookies = nullptr;
  // Out: the received name=value pairs joined by "; ", merged with
  // RequestCookies when merging applies.
  Text* ResponseCookies = nullptr;
  // One "Name: value" line, or such lines separated by CR LF.
  Text RequestHeaders;
  // Out: the response header text as the object reports it.
  Text* ResponseHeaders = nullptr;
  // Out: the HTTP status; 0 when no response came.
  std::int32_t* StatusCode = nullptr;
  bool DisableRedirects = false;
  // Sent instead of BodyText when not empty.
  ByteSet BodyBytes;
  // Empty: no proxy.
  Text ProxyAddress;
  // -1: the object's own time-outs; 0 or below: 15 s; else seconds.
  std::int32_t TimeoutSeconds = 0;
  Text ProxyUser;
  Text ProxyPassword;
  // Left out: 1 (credentials for the proxy, with a Basic
  // Proxy-Authorization header); 0: for the server.
  std::optional<std::int32_t> CredentialFlags;
  // Left out: a new object per call. Given: this object is used; the caller
  // keeps its reference and the object keeps this request's state. Given as
  // null: every call on it fails quietly and the body is empty.
  std::optional<IDispatch*> ExistingRequest;
  // Left out: true. Merging happens only when RequestCookies is given.
  std::optional<bool> AutoMergeCookies;
  // Left out: true. Adds the browser-like headers the block lacks.
  std::optional<bool> AddDefaultHeaders;
  // Left out: true. Tidies the block's header names before sending.
  std::optional<bool> NormalizeHeaderNames;
  // Out: how Send ended, as an HRESULT (0 when the request went out and an
  // answer came). A failed exchange is still quiet; this only says why.
  std::int32_t* SendResult = nullptr;
};

// The WinHttp error (ERROR_WINHTTP_TIMEOUT) that SendResult carries, as an
// HRESULT, when a request was given up on for its time-out.
constexpr std::int32_t kWinHttpTimeout = 12002;

// Sends one request and returns a copy of the response body. Initialises COM
// for the call and undoes that before returning.
ByteSet HttpRequest(std::string_view Url, const HttpRequestOptions& options = {});

}  // namespace lv
