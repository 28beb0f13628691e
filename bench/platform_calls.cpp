#include "bench/platform_calls.h"

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <iterator>
#include <utility>

#include "win/com.h"

namespace lv::bench {
namespace {

constexpr char kPageUserAgent[] = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
constexpr char kImageUserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr DWORD kReadWithoutLength = 1024 * 1024;

// Calls one member with its arguments given left to right. They stay owned
// by the caller's Variants: COM only reads them.
HRESULT Call(IDispatch* object, DISPID id, WORD kind, std::initializer_list<const win::Variant*> args,
             VARIANT* result) {
  VARIANTARG reversed[3];
  UINT count = 0;
  for (const win::Variant* arg : args) {
    if (count == std::size(reversed)) return E_INVALIDARG;
    reversed[args.size() - 1 - count++] = arg->Get();
  }
  DISPPARAMS params{count ? reversed : nullptr, nullptr, count, 0};
  EXCEPINFO exception{};
  const HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, result, &exception, nullptr);
  if (hr == DISP_E_EXCEPTION) {
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrHelpFile);
  }
  return hr;
}

HRESULT SetHeader(IDispatch* request, DISPID id, const char* name, const std::string& value) {
  const win::Variant n = win::Variant::FromText(name);
  const win::Variant v = win::Variant::FromText(value);
  return Call(request, id, DISPATCH_METHOD, {&n, &v}, nullptr);
}

struct Address {
  std::string host;
  INTERNET_PORT port = 0;
  std::string pathWithQuery;
};

bool Split(const std::string& url, Address& address) {
  URL_COMPONENTSA c{};
  c.dwStructSize = sizeof c;
  c.dwHostNameLength = 1;
  c.dwUrlPathLength = 1;
  c.dwExtraInfoLength = 1;
  if (!::InternetCrackUrlA(url.c_str(), static_cast<DWORD>(url.size()), 0, &c) || !c.lpszHostName) return false;
  address.host.assign(c.lpszHostName, c.dwHostNameLength);
  address.port = c.nPort;
  address.pathWithQuery.clear();
  if (c.lpszUrlPath) address.pathWithQuery.append(c.lpszUrlPath, c.dwUrlPathLength);
  if (c.lpszExtraInfo) address.pathWithQuery.append(c.lpszExtraInfo, c.dwExtraInfoLength);
  return true;
}

int StatusOf(HINTERNET request) {
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!::HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) return 0;
  return static_cast<int>(status);
}

long long ContentLengthOf(HINTERNET request) {
  char text[32] = {};
  DWORD size = sizeof text;
  if (!::HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) return -1;
  return std::strtoll(text, nullptr, 10);
}

}  // namespace

double Now() {
  LARGE_INTEGER frequency, counter;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool PageFetcher::LookUpMembers(IDispatch* request) {
  static const wchar_t* const kNames[kMemberCount] = {L"Open", L"SetRequestHeader", L"Send", L"ResponseBody",
                                                      L"Status"};
  for (int i = 0; i < kMemberCount; ++i) {
    LPOLESTR name = const_cast<LPOLESTR>(kNames[i]);
    if (FAILED(request->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &ids_[i]))) return false;
  }
  return haveIds_ = true;
}

PageFetcher::Result PageFetcher::Fetch(const std::string& url) {
  Result result;
  win::ComPtr<IDispatch> object = win::CreateObject(L"WinHttp.WinHttpRequest.5.1");
  if (!object || (!haveIds_ && !LookUpMembers(object.Get()))) return result;
  IDispatch* request = object.Get();

  const win::Variant verb = win::Variant::FromText("GET");
  const win::Variant address = win::Variant::FromText(url);
  const win::Variant async = win::Variant::FromBool(false);
  if (FAILED(Call(request, ids_[kOpen], DISPATCH_METHOD, {&verb, &address, &async}, nullptr))) return result;
  SetHeader(request, ids_[kSetRequestHeader], "Accept", "*/*");
  SetHeader(request, ids_[kSetRequestHeader], "Referer", url);
  SetHeader(request, ids_[kSetRequestHeader], "Accept-Language", "zh-cn");
  SetHeader(request, ids_[kSetRequestHeader], "User-Agent", kPageUserAgent);
  const win::Variant body;
  if (FAILED(Call(request, ids_[kSend], DISPATCH_METHOD, {&body}, nullptr))) return result;

  win::Variant status;
  VARIANT* code = status.Put();
  if (SUCCEEDED(Call(request, ids_[kStatus], DISPATCH_PROPERTYGET, {}, code)) &&
      SUCCEEDED(::VariantChangeType(code, code, 0, VT_I4))) {
    result.status = code->lVal;
  }
  win::Variant bytes;
  VARIANT* array = bytes.Put();
  if (SUCCEEDED(Call(request, ids_[kResponseBody], DISPATCH_PROPERTYGET, {}, array)) &&
      array->vt == (VT_ARRAY | VT_UI1) && array->parray) {
    LONG lower = 0, upper = -1;
    ::SafeArrayGetLBound(array->parray, 1, &lower);
    ::SafeArrayGetUBound(array->parray, 1, &upper);
    result.bytes = upper >= lower ? static_cast<std::size_t>(upper - lower + 1) : 0;
  }
  return result;
}

ImageFetcher::ImageFetcher(ImageCallOptions options) : options_(std::move(options)) {}

HINTERNET ImageFetcher::Session(DWORD& error) {
  if (session_ && options_.sessionEvery > 0 && imagesInSession_ >= options_.sessionEvery) {
    keptConnection_.Reset();
    session_.Reset();
  }
  if (!session_) {
    session_.Reset(::InternetOpenA(kImageUserAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    imagesInSession_ = 0;
    if (!session_) error = ::GetLastError();
  }
  ++imagesInSession_;
  return session_.Get();
}

ImageFetcher::Result ImageFetcher::Fetch(const std::string& url, std::vector<char>& buffer) {
  Result result;
  Address address;
  if (!Split(url, address)) return result;
  const HINTERNET session = Session(result.error);
  if (!session) return result;

  win::UniqueInternet ownConnection;
  win::UniqueInternet& connection = options_.keepConnection ? keptConnection_ : ownConnection;
  if (options_.keepConnection && (address.host != keptHost_ || address.port != keptPort_)) {
    keptConnection_.Reset();
    keptHost_ = address.host;
    keptPort_ = address.port;
  }
  if (!connection) {
    connection.Reset(::InternetConnectA(session, address.host.c_str(), address.port, nullptr, nullptr,
                                        INTERNET_SERVICE_HTTP, 0, 0));
  }
  if (!connection) {
    result.error = ::GetLastError();
    return result;
  }

  const char* acceptTypes[] = {"Accept: */* \r\n", nullptr};
  win::UniqueInternet request(::HttpOpenRequestA(connection.Get(), "GET", address.pathWithQuery.c_str(),
                                                 options_.version, nullptr,
                                                 options_.acceptTypes ? acceptTypes : nullptr,
                                                 options_.requestFlags, 0));
  // Which handle goes first: by default the request, as the scope ends.
  if (options_.connectionFirst) ownConnection.Reset();
  if (!request) {
    result.error = ::GetLastError();
    return result;
  }
  if (!::HttpSendRequestA(request.Get(), options_.headers.c_str(), static_cast<DWORD>(options_.headers.size()),
                          nullptr, 0)) {
    result.error = ::GetLastError();
    return result;
  }
  result.status = StatusOf(request.Get());
  result.announced = ContentLengthOf(request.Get());

  // One byte beyond the announced length, for the read that finds the end.
  const std::size_t want = result.announced >= 0 ? static_cast<std::size_t>(result.announced) + 1 : kReadWithoutLength;
  if (buffer.size() < want) buffer.resize(want);
  for (;;) {
    if (result.bytes == buffer.size()) buffer.resize(buffer.size() * 2);
    DWORD got = 0;
    if (!::InternetReadFile(request.Get(), buffer.data() + result.bytes,
                            static_cast<DWORD>(buffer.size() - result.bytes), &got)) {
      result.error = ::GetLastError();
      return result;
    }
    if (got == 0) break;
    result.bytes += got;
  }
  result.complete = result.announced < 0 || static_cast<long long>(result.bytes) == result.announced;
  return result;
}

bool ReadRequestList(const std::string& path, std::vector<ListedRequest>& requests) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  char line[4096];
  bool ok = true;
  while (ok && std::fgets(line, sizeof line, file)) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (text.empty()) continue;
    const std::size_t space = text.find(' ');
    const std::string kind = text.substr(0, space);
    ok = space != std::string::npos && (kind == "page" || kind == "image");
    if (ok) requests.push_back({kind == "image", text.substr(space + 1)});
  }
  std::fclose(file);
  return ok;
}

bool WriteWholeFile(const std::string& path, const char* data, std::size_t size) {
  win::UniqueFile file(
      ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  while (size > 0) {
    const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD wrote = 0;
    if (!::WriteFile(file.Get(), data, chunk, &wrote, nullptr) || wrote == 0) return false;
    data += wrote;
    size -= wrote;
  }
  return true;
}

}  // namespace lv::bench
