#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>

class QLocalServer;
class QLocalSocket;

namespace rowsmith::gui {

// Takes requests from other programs (rowsmith-run dde) on the program's
// per-user local socket for as long as the program runs. Each connection
// carries one request and gets one answer.
//
// When another program already serves the socket, this one stays quiet:
// requests keep going to the program that was there first. A socket file
// that nobody serves any more (left by a crash) is replaced.
//
// Threading: UI thread only; requests are handled by the event loop.
class DdeServer : public QObject {
  Q_OBJECT

 public:
  struct Reply {
    bool processed = true;
    std::string payload;
  };
  using Handler = std::function<Reply(char kind, const std::string& payload)>;

  DdeServer(Handler handler, QObject* parent = nullptr);
  ~DdeServer() override;

  // Starts listening on socketPath; false when another program serves it
  // or it cannot be made.
  bool listen(const QString& socketPath);
  bool isListening() const;

 private:
  void accept();
  void read(QLocalSocket* socket);

  Handler m_handler;
  QLocalServer* m_server;
};

}  // namespace rowsmith::gui
