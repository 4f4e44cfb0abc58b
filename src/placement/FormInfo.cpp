#include "placement/FormInfo.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cstdint>
#include <optional>

#include "document/PreferenceStore.h"

namespace rowsmith::gui {

namespace {

constexpr auto kRoot = PreferenceRoot::CurrentUser;

std::optional<int> readInteger(const PreferenceStore& store, const std::string& key,
                               const char* name) {
  const auto value = store.value(kRoot, key, name);
  if (!value || value->type != PreferenceType::Integer) return std::nullopt;
  return static_cast<int>(static_cast<std::int32_t>(value->integer));
}

long long overlap(const QRect& a, const QRect& b) {
  const QRect common = a.intersected(b);
  return common.isEmpty() ? 0 : static_cast<long long>(common.width()) * common.height();
}

}  // namespace

TFormInfo::TFormInfo(QWidget& owner, PreferenceStore& store)
    : QObject(&owner), m_owner(owner), m_store(store) {
  setObjectName(QStringLiteral("FormInfo1"));
}

void TFormInfo::defaultValues() {
  if (AppName.isEmpty())
    AppName = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
  if (FormName.isEmpty()) FormName = m_owner.objectName();
  if (Company.isEmpty()) Company = QStringLiteral("Morvane Software");
}

QString TFormInfo::keyPath() const {
  return QStringLiteral("Software\\%1\\%2\\%3").arg(Company, AppName, FormName);
}

QRect TFormInfo::placeOnScreens(const QRect& stored, const QList<QRect>& screens) {
  if (screens.isEmpty()) return stored;
  for (const QRect& screen : screens) {
    if (screen.contains(stored)) return stored;
  }
  const QRect* best = &screens.first();
  for (const QRect& screen : screens) {
    if (overlap(stored, screen) > overlap(stored, *best)) best = &screen;
  }
  QRect placed = stored;
  placed.setWidth(std::min(stored.width(), best->width()));
  placed.setHeight(std::min(stored.height(), best->height()));
  placed.moveLeft(std::clamp(placed.left(), best->left(), best->right() - placed.width() + 1));
  placed.moveTop(std::clamp(placed.top(), best->top(), best->bottom() - placed.height() + 1));
  return placed;
}

void TFormInfo::Load() {
  defaultValues();
  const std::string key = keyPath().toStdString();
  if (!m_store.keyExists(kRoot, key)) return;
  QRect bounds = m_owner.geometry();
  if (recordSize) {
    const auto width = readInteger(m_store, key, "Width");
    const auto height = readInteger(m_store, key, "Height");
    if (!width || !height) return;
    bounds.setSize(QSize(*width, *height));
  }
  if (recordPosition) {
    const auto left = readInteger(m_store, key, "Left");
    const auto top = readInteger(m_store, key, "Top");
    if (!left || !top) return;
    bounds.moveTopLeft(QPoint(*left, *top));
  }
  const auto state = readInteger(m_store, key, "WindowState");
  QList<QRect> screens;
  for (QScreen* screen : QGuiApplication::screens()) screens << screen->availableGeometry();
  bounds.setSize(bounds.size().expandedTo(m_owner.minimumSize()));
  m_owner.setGeometry(placeOnScreens(bounds, screens));
  if (!state) return;
  if (*state == 0) {
    m_owner.setWindowState(m_owner.windowState() | Qt::WindowMaximized);
  } else {
    m_owner.setWindowState(m_owner.windowState() & ~(Qt::WindowMaximized | Qt::WindowMinimized));
  }
}

void TFormInfo::Save() {
  defaultValues();
  const std::string key = keyPath().toStdString();
  try {
    const bool normal = !(m_owner.windowState() &
                          (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen));
    if (normal) {
      const QRect bounds = m_owner.geometry();
      m_store.writeInteger(kRoot, key, "Width", bounds.width());
      m_store.writeInteger(kRoot, key, "Height", bounds.height());
      m_store.writeInteger(kRoot, key, "Left", bounds.left());
      m_store.writeInteger(kRoot, key, "Top", bounds.top());
    }
    m_store.writeInteger(kRoot, key, "WindowState", normal ? 1 : 0);
    m_store.save();
  } catch (const std::exception&) {
    // A placement that cannot be stored is not worth a message at exit.
  }
}

}  // namespace rowsmith::gui
