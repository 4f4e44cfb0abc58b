#include "shell/FileDialogComponent.h"

namespace rowsmith::gui {

FileDialogComponent::FileDialogComponent(const QString& name, QObject* parent) : QObject(parent) {
  setObjectName(name);
}

QStringList FileDialogComponent::qtNameFilters() const {
  const QStringList parts = m_filter.split(QLatin1Char('|'));
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i];
    // The description names its masks in brackets; Qt reads the masks from there.
    const int open = description.lastIndexOf(QLatin1Char('('));
    if (open >= 0) description = description.left(open).trimmed();
    QStringList masks = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& mask : masks) {
      mask = mask.trimmed();
      if (mask == QLatin1String("*.*")) mask = QStringLiteral("*");
    }
    filters << QStringLiteral("%1 (%2)").arg(description, masks.join(QLatin1Char(' ')));
  }
  if (filters.isEmpty()) filters << QStringLiteral("All files (*)");
  return filters;
}

}  // namespace rowsmith::gui
