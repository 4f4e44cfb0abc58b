#include "support/ui/ShippedDocument.h"

#include <QByteArray>
#include <QFile>
#include <QStringList>
#include <optional>

#include "common/ResourcePath.h"
#include "support/ui/RtfText.h"

namespace rowsmith::gui {

namespace {

std::optional<QByteArray> contentsOf(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) return std::nullopt;
  return bytes;
}

QString textOf(const QByteArray& bytes) {
  QString text = RtfText::isRtf(bytes) ? RtfText::toPlainText(bytes) : QString::fromUtf8(bytes);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

}  // namespace

QString ShippedDocument::read(const QString& name) {
  const QStringList places = {name, QString::fromStdString(resourcePath(name.toStdString()))};
  for (const QString& path : places) {
    if (const std::optional<QByteArray> bytes = contentsOf(path)) return textOf(*bytes);
  }
  return QStringLiteral("Cannot open file %1").arg(name);
}

}  // namespace rowsmith::gui
