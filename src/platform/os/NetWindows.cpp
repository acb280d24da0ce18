// The network layer on Windows: the system's WinHTTP for HTTP, XmlLite
// (loaded at run time: mingw-w64 has no import library for it) for the
// servers' answers, the console for the password.
#include <windows.h>
#include <objidl.h>
#include <shlwapi.h>
#include <winhttp.h>
#include <xmllite.h>

#include <cwctype>

#include "Net.h"
#include "WideText.h"

namespace os {
namespace {

std::string Base64(std::string_view bytes) {
  static const char* const kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::uint32_t v = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 2]);
    out += kDigits[(v >> 18) & 63];
    out += kDigits[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? kDigits[(v >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kDigits[v & 63] : '=';
  }
  return out;
}

class Handle {
 public:
  explicit Handle(HINTERNET h = nullptr) : h_(h) {}
  ~Handle() {
    if (h_) WinHttpCloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  void reset(HINTERNET h) {
    if (h_) WinHttpCloseHandle(h_);
    h_ = h;
  }
  HINTERNET get() const { return h_; }

 private:
  HINTERNET h_;
};

HttpFailure Kind(DWORD error) {
  switch (error) {
    case ERROR_WINHTTP_CANNOT_CONNECT:
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
    case ERROR_WINHTTP_CONNECTION_ERROR: return HttpFailure::Unreachable;
    case ERROR_WINHTTP_TIMEOUT: return HttpFailure::TimedOut;
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_SECURE_INVALID_CERT: return HttpFailure::Certificate;
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR: return HttpFailure::Tls;
    default: return HttpFailure::Other;
  }
}

std::string SystemMessage(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE |
                                     FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 GetModuleHandleW(L"winhttp.dll"), error, 0, reinterpret_cast<wchar_t*>(&text), 0,
                                 nullptr);
  std::string out = n ? Utf8(text, n) : "WinHTTP error " + std::to_string(error);
  if (text) LocalFree(text);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ' || out.back() == '.'))
    out.pop_back();
  return out;
}

class WinHttpClient final : public HttpClient {
 public:
  explicit WinHttpClient(const HttpOptions& options) : options_(options) {
    session_.reset(WinHttpOpen(L"Addrivo", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                               WINHTTP_NO_PROXY_BYPASS, 0));
    if (session_.get()) {
      const int connect = static_cast<int>(options.connectSeconds * 1000);
      const int request = static_cast<int>(options.requestSeconds * 1000);
      WinHttpSetTimeouts(session_.get(), connect, connect, request, request);
    }
  }
  bool ok() const { return session_.get() != nullptr; }

  bool Send(const HttpRequest& request, HttpResponse& response, HttpError& error) override {
    response = {};
    error = {};
    const std::wstring url = Wide(request.url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) return Fail(error, GetLastError());
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    // One connection handle a server: WinHTTP keeps its socket open between requests.
    if (host != host_ || parts.nPort != port_) {
      connection_.reset(WinHttpConnect(session_.get(), host.c_str(), parts.nPort, 0));
      host_ = host;
      port_ = parts.nPort;
    }
    if (!connection_.get()) return Fail(error, GetLastError());
    const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    Handle r(WinHttpOpenRequest(connection_.get(), Wide(request.method).c_str(), path.c_str(), nullptr,
                                WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, secure ? WINHTTP_FLAG_SECURE : 0));
    if (!r.get()) return Fail(error, GetLastError());
    DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    WinHttpSetOption(r.get(), WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof never);
    std::string headers;
    for (const HttpHeader& h : request.headers) headers += h.name + ": " + h.value + "\r\n";
    if (!options_.user.empty()) headers += "Authorization: Basic " + Base64(options_.user + ":" + options_.password) + "\r\n";
    const std::wstring wideHeaders = Wide(headers);
    const DWORD size = static_cast<DWORD>(request.body.size());
    if (!WinHttpSendRequest(r.get(), wideHeaders.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : wideHeaders.c_str(),
                            static_cast<DWORD>(wideHeaders.size()),
                            size ? const_cast<char*>(request.body.data()) : WINHTTP_NO_REQUEST_DATA, size, size, 0) ||
        !WinHttpReceiveResponse(r.get(), nullptr))
      return Fail(error, GetLastError());
    DWORD status = 0, length = sizeof status;
    WinHttpQueryHeaders(r.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                        &status, &length, WINHTTP_NO_HEADER_INDEX);
    response.status = static_cast<int>(status);
    length = 0;
    WinHttpQueryHeaders(r.get(), WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &length,
                        WINHTTP_NO_HEADER_INDEX);
    std::wstring raw(length / sizeof(wchar_t) + 1, L'\0');
    if (WinHttpQueryHeaders(r.get(), WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, raw.data(),
                            &length, WINHTTP_NO_HEADER_INDEX)) {
      raw.resize(length / sizeof(wchar_t));
      for (std::size_t at = raw.find(L"\r\n"); at != std::wstring::npos;) {
        const std::size_t end = raw.find(L"\r\n", at + 2);
        const std::wstring line = raw.substr(at + 2, end == std::wstring::npos ? std::wstring::npos : end - at - 2);
        if (const auto colon = line.find(L':'); colon != std::wstring::npos) {
          std::wstring name = line.substr(0, colon);
          for (wchar_t& c : name) c = static_cast<wchar_t>(std::towlower(c));
          std::size_t v = colon + 1;
          while (v < line.size() && line[v] == L' ') ++v;
          response.headers.push_back({Utf8(name.data(), name.size()), Utf8(line.data() + v, line.size() - v)});
        }
        at = end;
      }
    }
    for (;;) {
      DWORD available = 0;
      if (!WinHttpQueryDataAvailable(r.get(), &available)) return Fail(error, GetLastError());
      if (available == 0) break;
      const std::size_t at = response.body.size();
      response.body.resize(at + available);
      DWORD read = 0;
      if (!WinHttpReadData(r.get(), response.body.data() + at, available, &read)) return Fail(error, GetLastError());
      response.body.resize(at + read);
    }
    return true;
  }

 private:
  static bool Fail(HttpError& error, DWORD code) {
    error.kind = Kind(code);
    error.detail = SystemMessage(code);
    return false;
  }

  HttpOptions options_;
  Handle session_;
  Handle connection_;
  std::wstring host_;
  INTERNET_PORT port_ = 0;
};

// XmlLite's reader, found in the system's xmllite.dll.
using CreateReader = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

CreateReader ReaderFactory() {
  static const CreateReader factory = [] {
    HMODULE dll = LoadLibraryExW(L"xmllite.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!dll) dll = LoadLibraryW(L"xmllite.dll");
    return dll ? reinterpret_cast<CreateReader>(reinterpret_cast<void*>(GetProcAddress(dll, "CreateXmlReader")))
               : nullptr;
  }();
  return factory;
}

template <typename T>
struct Released {
  T* p = nullptr;
  ~Released() {
    if (p) p->Release();
  }
};

constexpr std::size_t kMaxDepth = 256;

}  // namespace

std::unique_ptr<HttpClient> NewHttpClient(const HttpOptions& options, std::string& why) {
  if (!options.caFile.empty()) {
    // WinHTTP trusts the system's store only.
    why = "--ca-file is not available on Windows: add the authority's certificate to the Windows "
          "certificate store instead";
    return nullptr;
  }
  auto client = std::make_unique<WinHttpClient>(options);
  if (!client->ok()) {
    why = "WinHTTP could not be started: " + SystemMessage(GetLastError());
    return nullptr;
  }
  return client;
}

bool ParseXml(std::string_view text, XmlElement& root, std::string& error) {
  root = {};
  const CreateReader create = ReaderFactory();
  if (!create) {
    error = "xmllite.dll is missing";
    return false;
  }
  if (text.size() > 0x7fffffff) {
    error = "the answer is too large";
    return false;
  }
  Released<IStream> stream{SHCreateMemStream(reinterpret_cast<const BYTE*>(text.data()), static_cast<UINT>(text.size()))};
  Released<IXmlReader> reader;
  if (!stream.p || FAILED(create(__uuidof(IXmlReader), reinterpret_cast<void**>(&reader.p), nullptr)) ||
      FAILED(reader.p->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit)) ||
      FAILED(reader.p->SetInput(stream.p))) {
    error = "XmlLite could not be started";
    return false;
  }
  std::vector<XmlElement*> open;
  bool haveRoot = false;
  XmlNodeType type;
  HRESULT hr;
  while ((hr = reader.p->Read(&type)) == S_OK) {
    const wchar_t* s = nullptr;
    UINT n = 0;
    switch (type) {
      case XmlNodeType_Element: {
        XmlElement* e = nullptr;
        if (open.empty()) {
          if (haveRoot) break;
          haveRoot = true;
          e = &root;
        } else {
          open.back()->children.emplace_back();
          e = &open.back()->children.back();
        }
        if (open.size() == kMaxDepth) {
          error = "the answer nests too deep";
          return false;
        }
        reader.p->GetLocalName(&s, &n);
        e->name = Utf8(s, n);
        reader.p->GetNamespaceUri(&s, &n);
        e->ns = Utf8(s, n);
        const bool empty = reader.p->IsEmptyElement();
        for (HRESULT a = reader.p->MoveToFirstAttribute(); a == S_OK; a = reader.p->MoveToNextAttribute()) {
          if (reader.p->IsDefault()) continue;
          const wchar_t* value = nullptr;
          UINT valueLength = 0;
          reader.p->GetLocalName(&s, &n);
          reader.p->GetValue(&value, &valueLength);
          e->attributes.emplace_back(Utf8(s, n), Utf8(value, valueLength));
        }
        if (!empty) open.push_back(e);
        break;
      }
      case XmlNodeType_EndElement:
        if (!open.empty()) open.pop_back();
        break;
      case XmlNodeType_Text:
      case XmlNodeType_CDATA:
      case XmlNodeType_Whitespace:
        if (!open.empty() && SUCCEEDED(reader.p->GetValue(&s, &n))) open.back()->text += Utf8(s, n);
        break;
      default: break;
    }
  }
  if (FAILED(hr) || !haveRoot) {
    error = "not well-formed XML";
    root = {};
    return false;
  }
  return true;
}

bool ReadSecretFromTerminal(const char* prompt, std::string& secret) {
  HANDLE in = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, 0, nullptr);
  HANDLE out = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD mode = 0;
  if (in == INVALID_HANDLE_VALUE || out == INVALID_HANDLE_VALUE || !GetConsoleMode(in, &mode)) {
    if (in != INVALID_HANDLE_VALUE) CloseHandle(in);
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    return false;
  }
  const std::wstring wide = Wide(prompt);
  DWORD written = 0;
  WriteConsoleW(out, wide.c_str(), static_cast<DWORD>(wide.size()), &written, nullptr);
  SetConsoleMode(in, (mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) | ENABLE_LINE_INPUT);
  std::wstring typed;
  wchar_t buffer[256];
  DWORD read = 0;
  bool ok = true;
  for (;;) {
    if (!ReadConsoleW(in, buffer, 256, &read, nullptr)) {
      ok = false;
      break;
    }
    typed.append(buffer, read);
    if (read == 0 || typed.find(L'\n') != std::wstring::npos || typed.find(L'\r') != std::wstring::npos) break;
  }
  SetConsoleMode(in, mode);
  WriteConsoleW(out, L"\r\n", 2, &written, nullptr);
  CloseHandle(in);
  CloseHandle(out);
  typed = typed.substr(0, typed.find_first_of(L"\r\n"));
  secret = Utf8(typed.data(), typed.size());
  return ok;
}

}  // namespace os
