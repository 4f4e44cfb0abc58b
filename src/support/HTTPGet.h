#pragma once

#include <memory>
#include <string>

#include "support/HTTPGetRequest.h"

namespace rowsmith {

class THTTPGetThread;

// Fetches one URL over HTTP or HTTPS on a worker thread of its own and hands
// the answer to its owner through events.
//
// Properties (taken as they are when FetchString starts a transfer):
//  - Agent: the user agent sent with the request; empty sends none.
//  - BinaryData: when true, an answer without a Content-Length header is a
//    failure.
//  - URL: "http://" or "https://" (any letter case, or none for http), the
//    host with an optional ":port", then the path and query. The host ends at
//    the first "/", so a URL without a path has no host and fails. The port is
//    80 (443 for https) unless the host names one. https is encrypted, and the
//    server's certificate and name are checked.
//  - FileName: kept for the owner; transfers always deliver a string.
//  - UserName, Password: credentials, sent when the server asks for them.
//  - PostQuery: when not empty, the request is a POST with these bytes as body.
//  - Referer: the referring page sent with the request.
//  - WaitThread: when true, FetchString returns only after the transfer has
//    ended and its event has been raised.
//
// Events (see HTTPGetRequest.h), called on the getter's worker thread with
// the getter as sender; the worker waits for each handler:
//  - OnProgress(totalSize, readed) after each piece of the body: the
//    Content-Length (0 when unknown) and the bytes received so far;
//  - OnDoneString(result) when the transfer succeeded: the body, whole and
//    byte for byte, whatever the HTTP status (an error page is an answer too);
//  - OnError() when it failed: no connection, no answer, an empty body, a body
//    cut short, or, with BinaryData, no Content-Length. A Content-Length that
//    is not a number ends the transfer with OnDoneString and an empty text.
//  - OnDoneFile is kept for the owner and never raised.
// A handler must return promptly and must never wait for the thread that
// calls Abort or destroys the getter (a GUI hands the result to its UI thread
// with a queued call and returns): Abort and the destructor wait for a
// handler that is running.
//
// Abort, and destroying the getter, cancel a running transfer at once, even
// while a server keeps silent: once they return, no handler of that transfer
// runs any more and the worker touches neither the getter nor its owner. An
// aborted transfer raises no event.
//
// Threading: the properties, FetchString, Abort and destruction belong to one
// controlling thread (the owner's). Handlers run on the worker thread; an
// OnProgress handler may call Abort, and a handler may destroy the getter.
class THTTPGet {
 public:
  // The user agent a new getter sends.
  static constexpr const char* kDefaultAgent = "HTTPGet";

  THTTPGet();
  ~THTTPGet();
  THTTPGet(const THTTPGet&) = delete;
  THTTPGet& operator=(const THTTPGet&) = delete;

  const std::string& agent() const { return m_request.agent; }
  void setAgent(std::string agent) { m_request.agent = std::move(agent); }
  bool binaryData() const { return m_request.binaryData; }
  void setBinaryData(bool binaryData) { m_request.binaryData = binaryData; }
  const std::string& url() const { return m_request.url; }
  void setURL(std::string url) { m_request.url = std::move(url); }
  const std::string& fileName() const { return m_request.fileName; }
  void setFileName(std::string fileName) { m_request.fileName = std::move(fileName); }
  const std::string& userName() const { return m_request.userName; }
  void setUserName(std::string userName) { m_request.userName = std::move(userName); }
  const std::string& password() const { return m_request.password; }
  void setPassword(std::string password) { m_request.password = std::move(password); }
  const std::string& postQuery() const { return m_request.postQuery; }
  void setPostQuery(std::string postQuery) { m_request.postQuery = std::move(postQuery); }
  const std::string& referer() const { return m_request.referer; }
  void setReferer(std::string referer) { m_request.referer = std::move(referer); }
  bool waitThread() const { return m_waitThread; }
  void setWaitThread(bool waitThread) { m_waitThread = waitThread; }

  void setOnProgress(HTTPProgressEvent handler) { m_events.onProgress = std::move(handler); }
  void setOnDoneFile(HTTPDoneFileEvent handler) { m_events.onDoneFile = std::move(handler); }
  void setOnDoneString(HTTPDoneStringEvent handler) { m_events.onDoneString = std::move(handler); }
  void setOnError(HTTPErrorEvent handler) { m_events.onError = std::move(handler); }

  // Starts a transfer of URL; does nothing while one is running (until its
  // last event has begun).
  void FetchString();
  // Cancels the running transfer, which then raises no event.
  void Abort();
  // Whether a transfer is running.
  bool running() const;

 private:
  HTTPGetRequest m_request;
  bool m_waitThread = false;
  HTTPGetEvents m_events;
  std::shared_ptr<THTTPGetThread> m_worker;
};

}  // namespace rowsmith
