#include "SupportScreenshots.h"

#include <QCoreApplication>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QWidget>
#include <memory>

#include "common/DayNumber.h"
#include "document/PreferenceStore.h"
#include "support/UpdateCheck.h"
#include "support/ui/AboutBox.h"
#include "support/ui/UpdateForm.h"

namespace {

void save(QWidget& window, const QString& folder, const char* name) {
  window.show();
  QCoreApplication::processEvents();
  if (!window.grab().save(QDir(folder).filePath(QString::fromLatin1(name))))
    qWarning("cannot write %s in %s", name, qPrintable(folder));
}

}  // namespace

void renderSupportScreenshots(const QString& folder) {
  using rowsmith::gui::TABox;
  using rowsmith::gui::TupdateForm;
  QDir().mkpath(folder);

  // A store of its own, and a fixed day, so the pictures do not change
  // from one run to the next.
  QTemporaryDir scratch;
  rowsmith::PreferenceStore store(std::filesystem::path(scratch.path().toStdString()));
  rowsmith::UpdateCheck check(store, [] { return rowsmith::dayNumberOf({2026, 3, 2}); });
  // The dialog frees itself when closed; here it is deleted before that.
  const std::unique_ptr<TupdateForm> update(new TupdateForm(check, nullptr));
  save(*update, folder, "update.png");

  TABox about(nullptr);
  save(about, folder, "about-application.png");
  about.pageControl()->setCurrentIndex(TABox::WhatsNewIndex);
  save(about, folder, "about-notes.png");
  about.pageControl()->setCurrentIndex(TABox::LicenceIndex);
  save(about, folder, "about-licence.png");
}
