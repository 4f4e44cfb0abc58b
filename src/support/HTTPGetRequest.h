#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace rowsmith {

class THTTPGet;

// What one transfer of the HTTP getter asks for: the getter's properties as
// they were when the transfer started (see THTTPGet for their meaning).
//
// Threading: a value; the worker has its own copy.
struct HTTPGetRequest {
  std::string agent;
  bool binaryData = false;
  std::string url;
  std::string fileName;
  std::string userName;
  std::string password;
  std::string postQuery;
  std::string referer;
};

// The getter's events. They are called on the getter's worker thread.
using HTTPProgressEvent =
    std::function<void(THTTPGet& sender, std::int64_t totalSize, std::int64_t readed)>;
using HTTPDoneFileEvent =
    std::function<void(THTTPGet& sender, const std::string& fileName, std::int64_t fileSize)>;
using HTTPDoneStringEvent = std::function<void(THTTPGet& sender, const std::string& result)>;
using HTTPErrorEvent = std::function<void(THTTPGet& sender)>;

struct HTTPGetEvents {
  HTTPProgressEvent onProgress;
  HTTPDoneFileEvent onDoneFile;
  HTTPDoneStringEvent onDoneString;
  HTTPErrorEvent onError;
};

}  // namespace rowsmith
