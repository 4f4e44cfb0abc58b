#include "support/CurlTransfer.h"

#include <algorithm>
#include <charconv>
#include <memory>
#include <string_view>

#include "common/AsciiCase.h"

namespace rowsmith {

namespace {

using EasyHandle = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;

// The one-time set-up of libcurl; thread-safe in the versions the program
// builds against, and done before the first transfer.
void initialiseCurl() {
  static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  (void)initialised;
}

bool hasControlCharacter(const std::string& text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
  });
}

std::string_view trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// A Content-Length value: decimal digits only, within range.
std::optional<std::int64_t> decimalNumber(std::string_view text) {
  if (text.empty() ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

CurlTransfer::CurlTransfer(HTTPGetRequest request) : m_request(std::move(request)) {
  initialiseCurl();
}

CurlTransfer::~CurlTransfer() = default;

void CurlTransfer::cancel() noexcept {
  m_cancelled = true;
  std::lock_guard lock(m_multiMutex);
  if (m_multi != nullptr) curl_multi_wakeup(m_multi);
}

std::optional<std::string> CurlTransfer::perform(const Progress& progress) {
  m_response = {};
  const HTTPAddress address = HTTPAddress::split(m_request.url);
  if (!address.valid() || !safeToSend() || m_cancelled) return std::nullopt;

  EasyHandle easy(curl_easy_init(), &curl_easy_cleanup);
  if (!easy) return std::nullopt;
  m_easy = easy.get();
  m_progress = &progress;
  configure(easy.get(), address);
  const CURLcode result = run(easy.get());
  m_progress = nullptr;
  m_easy = nullptr;
  return answer(result);
}

bool CurlTransfer::safeToSend() const {
  // The agent and referrer go into header lines as they are.
  return !hasControlCharacter(m_request.agent) && !hasControlCharacter(m_request.referer);
}

void CurlTransfer::configure(CURL* easy, const HTTPAddress& address) {
  curl_easy_setopt(easy, CURLOPT_URL, address.transferURL().c_str());
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, address.secure() ? "https" : "http,https");
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
  curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);
  // The Content-Length rules are this class's own (see answer()).
  curl_easy_setopt(easy, CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  // Cancelling does not wait for a name lookup that is still running.
  curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
  curl_easy_setopt(easy, CURLOPT_TIMEOUT, kTransferTimeoutSeconds);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!m_request.agent.empty()) curl_easy_setopt(easy, CURLOPT_USERAGENT, m_request.agent.c_str());
  if (!m_request.referer.empty()) {
    curl_easy_setopt(easy, CURLOPT_REFERER, m_request.referer.c_str());
  }
  if (!m_request.userName.empty() || !m_request.password.empty()) {
    curl_easy_setopt(easy, CURLOPT_USERNAME, m_request.userName.c_str());
    curl_easy_setopt(easy, CURLOPT_PASSWORD, m_request.password.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPAUTH, CURLAUTH_ANY);
  }
  if (!m_request.postQuery.empty()) {
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(m_request.postQuery.size()));
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, m_request.postQuery.data());
  }
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &CurlTransfer::onHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CurlTransfer::onBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &CurlTransfer::onTransferInfo);
  curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
  curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
}

CURLcode CurlTransfer::run(CURL* easy) {
  CURLM* multi = curl_multi_init();
  if (multi == nullptr) return CURLE_OUT_OF_MEMORY;
  {
    std::lock_guard lock(m_multiMutex);
    m_multi = multi;
  }
  CURLcode result = CURLE_ABORTED_BY_CALLBACK;
  curl_multi_add_handle(multi, easy);
  // cancel() wakes the wait, so a silent server holds nothing up.
  while (!m_cancelled) {
    int running = 0;
    if (curl_multi_perform(multi, &running) != CURLM_OK) {
      result = CURLE_FAILED_INIT;
      break;
    }
    if (running == 0) {
      int queued = 0;
      while (const CURLMsg* message = curl_multi_info_read(multi, &queued)) {
        if (message->msg == CURLMSG_DONE) result = message->data.result;
      }
      break;
    }
    if (curl_multi_poll(multi, nullptr, 0, 1000, nullptr) != CURLM_OK) {
      result = CURLE_FAILED_INIT;
      break;
    }
  }
  curl_multi_remove_handle(multi, easy);
  {
    std::lock_guard lock(m_multiMutex);
    m_multi = nullptr;
  }
  curl_multi_cleanup(multi);
  return result;
}

std::size_t CurlTransfer::onHeader(char* data, std::size_t size, std::size_t count, void* self) {
  // Nothing may be thrown through libcurl; a failure here ends the exchange.
  try {
    return static_cast<CurlTransfer*>(self)->takeHeader(std::string_view(data, size * count));
  } catch (...) {
    return 0;
  }
}

std::size_t CurlTransfer::takeHeader(std::string_view line) {
  Response& response = m_response;
  if (line.starts_with("HTTP/")) {
    response = {};
    return line.size();
  }
  const std::string_view content = trimmed(line);
  if (content.empty()) {
    response.headersEnded = true;
    // Returning less than given ends the exchange: nothing more is needed.
    return answerSettledByHeaders() ? 0 : line.size();
  }
  const std::size_t colon = content.find(':');
  if (colon == std::string_view::npos) return line.size();
  const std::string_view name = trimmed(content.substr(0, colon));
  if (equalsIgnoringAsciiCase(name, "Content-Length") && !response.contentLength) {
    const std::string_view value = trimmed(content.substr(colon + 1));
    response.contentLength = std::string(value);
    response.fileSize = decimalNumber(value);
  } else if (equalsIgnoringAsciiCase(name, "Location")) {
    response.location = true;
  }
  return line.size();
}

bool CurlTransfer::answerSettledByHeaders() const {
  long status = 0;
  curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &status);
  const bool interim = status >= 100 && status < 200;
  const bool redirection = status >= 300 && status < 400 && m_response.location;
  if (interim || redirection) return false;
  const bool lengthNotANumber = m_response.contentLength && !m_response.fileSize;
  const bool lengthMissing = m_request.binaryData && !m_response.contentLength;
  return lengthNotANumber || lengthMissing;
}

std::size_t CurlTransfer::onBody(char* data, std::size_t size, std::size_t count, void* self) {
  try {
    return static_cast<CurlTransfer*>(self)->takeBody(std::string_view(data, size * count));
  } catch (...) {
    return 0;
  }
}

std::size_t CurlTransfer::takeBody(std::string_view piece) {
  Response& response = m_response;
  if (m_cancelled) return 0;
  std::size_t wanted = piece.size();
  if (response.fileSize) {
    // The body never grows past the Content-Length, so this does not underflow.
    const std::uint64_t missing =
        static_cast<std::uint64_t>(*response.fileSize) - response.body.size();
    wanted = static_cast<std::size_t>(std::min<std::uint64_t>(wanted, missing));
  }
  response.body.append(piece.substr(0, wanted));
  response.bodyComplete =
      response.fileSize && static_cast<std::int64_t>(response.body.size()) >= *response.fileSize;
  if (*m_progress) {
    (*m_progress)(response.fileSize.value_or(0), static_cast<std::int64_t>(response.body.size()));
  }
  // A server that keeps the connection open after the body is not waited for.
  return response.bodyComplete ? 0 : piece.size();
}

int CurlTransfer::onTransferInfo(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<CurlTransfer*>(self)->m_cancelled ? 1 : 0;
}

std::optional<std::string> CurlTransfer::answer(CURLcode result) const {
  const Response& response = m_response;
  if (m_cancelled || !response.headersEnded) return std::nullopt;
  if (response.contentLength && !response.fileSize) return std::string();
  if (m_request.binaryData && !response.contentLength) return std::nullopt;
  if (!response.bodyComplete && (result != CURLE_OK || response.fileSize)) return std::nullopt;
  if (response.body.empty()) return std::nullopt;
  return response.body;
}

}  // namespace rowsmith
