#include "shell/DdeServer.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <memory>

#include "document/DdeChannel.h"

namespace rowsmith::gui {

DdeServer::DdeServer(Handler handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)), m_server(new QLocalServer(this)) {
  m_server->setSocketOptions(QLocalServer::UserAccessOption);
  connect(m_server, &QLocalServer::newConnection, this, &DdeServer::accept);
}

DdeServer::~DdeServer() { m_server->close(); }

bool DdeServer::listen(const QString& socketPath) {
  if (m_server->listen(socketPath)) return true;
  if (m_server->serverError() != QAbstractSocket::AddressInUseError) return false;
  // Someone answering there keeps the socket; a dead socket file is replaced.
  QLocalSocket probe;
  probe.connectToServer(socketPath);
  if (probe.waitForConnected(500)) return false;
  QLocalServer::removeServer(socketPath);
  return m_server->listen(socketPath);
}

bool DdeServer::isListening() const { return m_server->isListening(); }

void DdeServer::accept() {
  while (QLocalSocket* socket = m_server->nextPendingConnection()) {
    auto reader = std::make_shared<DdeFrameReader>();
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket, reader] {
      const QByteArray bytes = socket->readAll();
      reader->feed(bytes.constData(), static_cast<std::size_t>(bytes.size()));
      if (reader->malformed()) {
        socket->abort();
        return;
      }
      const auto request = reader->frame();
      if (!request) return;
      // One request per connection: nothing more is read from it.
      disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
      QPointer<QLocalSocket> guard(socket);
      const Reply reply = m_handler(request->kind, request->payload);
      // The handler may have run a modal box; the client may be gone by now.
      if (!guard || guard->state() != QLocalSocket::ConnectedState) return;
      const std::string answer = DdeChannel::frame(
          reply.processed ? DdeChannel::kProcessed : DdeChannel::kFailed, reply.payload);
      socket->write(answer.data(), static_cast<qint64>(answer.size()));
      socket->flush();
      socket->disconnectFromServer();
    });
  }
}

}  // namespace rowsmith::gui
