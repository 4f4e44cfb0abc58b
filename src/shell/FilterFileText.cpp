#include "shell/FilterFileText.h"

#include <QByteArray>
#include <QStringDecoder>
#include <string_view>

namespace rowsmith::gui {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

FilterFileText FilterFileText::fromBytes(const std::string& bytes) {
  FilterFileText result;
  std::string_view body = bytes;
  if (body.starts_with(kByteOrderMark)) {
    result.byteOrderMark = true;
    body.remove_prefix(kByteOrderMark.size());
  }
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  result.text = decoder.decode(QByteArrayView(body.data(), qsizetype(body.size())));
  result.editable = !decoder.hasError() && body.find('\0') == std::string_view::npos;
  result.crLf = body.find("\r\n") != std::string_view::npos;
  if (result.crLf) result.text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return result;
}

std::string FilterFileText::toBytes(const QString& edited) const {
  QString lines = edited;
  if (crLf) lines.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  std::string bytes = byteOrderMark ? std::string(kByteOrderMark) : std::string();
  bytes += lines.toStdString();
  return bytes;
}

}  // namespace rowsmith::gui
