#pragma once

#include <curl/curl.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "support/HTTPAddress.h"
#include "support/HTTPGetRequest.h"

namespace rowsmith {

// One exchange of the HTTP getter on libcurl: a GET (or, with a PostQuery, a
// POST) as HTTP/1.0, and the rules that decide what counts as an answer:
//  - the status code is not looked at: an error page is a body like any other
//    (redirections are followed, an https address only to https);
//  - the body is delivered whole, byte for byte, zero bytes included, and must
//    not be empty;
//  - a body shorter than its Content-Length, or cut off by a broken
//    connection or a time-out, is no answer;
//  - with binaryData, an answer without Content-Length is no answer, and no
//    body is read;
//  - a Content-Length that is not a decimal number ends the exchange at the
//    headers with an empty answer.
// https:// addresses are encrypted, with the server's certificate and name
// checked. Connecting may take 10 seconds, the whole exchange 60.
//
// Threading: perform() runs on one thread (the getter's worker); cancel() and
// cancelled() may be called from any thread, also while perform() runs, and
// make it return within moments however slow the server is.
class CurlTransfer {
 public:
  // Called after each piece of the body that arrives, with the Content-Length
  // (0 while unknown) and the number of bytes received so far.
  using Progress = std::function<void(std::int64_t totalSize, std::int64_t bytesRead)>;

  static constexpr long kConnectTimeoutSeconds = 10;
  static constexpr long kTransferTimeoutSeconds = 60;

  explicit CurlTransfer(HTTPGetRequest request);
  ~CurlTransfer();
  CurlTransfer(const CurlTransfer&) = delete;
  CurlTransfer& operator=(const CurlTransfer&) = delete;

  // The answer, or nothing when the exchange failed or was cancelled.
  std::optional<std::string> perform(const Progress& progress);

  void cancel() noexcept;
  bool cancelled() const noexcept { return m_cancelled; }

 private:
  // The response being received; reset at each status line, so that after
  // redirections it describes the last response.
  struct Response {
    std::optional<std::string> contentLength;  // the first Content-Length header as sent
    std::optional<std::int64_t> fileSize;      // its value, when it is a number
    bool location = false;                     // a Location header (a redirection follows)
    bool headersEnded = false;
    bool bodyComplete = false;  // the Content-Length bytes have all arrived
    std::string body;
  };

  static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* self);
  static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* self);
  static int onTransferInfo(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
  // What the callbacks do; the count of bytes taken, less to end the exchange.
  std::size_t takeHeader(std::string_view line);
  std::size_t takeBody(std::string_view piece);

  // Whether the request's texts can go into a request line and headers.
  bool safeToSend() const;
  void configure(CURL* easy, const HTTPAddress& address);
  // Runs the exchange until it ends or is cancelled; curl's result.
  CURLcode run(CURL* easy);
  // Whether the headers just ended are those of the answer (not of an
  // interim or redirection response) and the answer needs no body read.
  bool answerSettledByHeaders() const;
  std::optional<std::string> answer(CURLcode result) const;

  HTTPGetRequest m_request;
  const Progress* m_progress = nullptr;
  std::atomic<bool> m_cancelled{false};
  std::mutex m_multiMutex;
  CURLM* m_multi = nullptr;  // guarded by m_multiMutex; set while run() works
  // perform()'s thread only:
  CURL* m_easy = nullptr;
  Response m_response;
};

}  // namespace rowsmith
