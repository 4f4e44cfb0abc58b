#include "WindowFixtureSupport.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include "document/Settings.h"
#include "support/UpdateCheck.h"

namespace rowsmith::gui_test {

WindowFixture::WindowFixture()
    : m_store(std::make_unique<PreferenceStore>(
          std::filesystem::path(m_folder.filePath(QStringLiteral("config")).toStdString()))) {
  setNextCheckDate(kNeverDue);
  // Undo journals of unsaved jobs go to the user's state folder.
  qputenv("XDG_STATE_HOME", m_folder.filePath(QStringLiteral("state")).toUtf8());
}

void WindowFixture::setNextCheckDate(std::int32_t dayNumber) {
  m_store->writeInteger(PreferenceRoot::LocalMachine, TSettings::registryName(0),
                        UpdateCheck::kDateValue, dayNumber);
}

void WindowFixture::setUpdateServer(const std::string& address) {
  m_store->writeText(PreferenceRoot::LocalMachine, TSettings::registryName(0),
                     UpdateCheck::kServerValue, address);
}

QString WindowFixture::writeFile(const QString& name, const QByteArray& bytes) const {
  const QString file = path(name);
  QDir().mkpath(QFileInfo(file).absolutePath());
  QFile out(file);
  if (!out.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(file));
  out.write(bytes);
  return file;
}

QString WindowFixture::writeJob(const QString& name, const std::string& dataSource) const {
  TSettings job;
  job.dataSource = dataSource;
  job.useTable = true;
  job.tableName = "customers";
  job.previewRows = 50;
  job.columnNames = {"id", "name"};
  job.columnFilters = {"", "/filters/name.fll"};
  const QString file = path(name);
  job.SaveToFile(file.toStdString());
  return file;
}

QByteArray WindowFixture::readFile(const QString& file) const {
  QFile in(file);
  if (!in.open(QIODevice::ReadOnly)) return {};
  return in.readAll();
}

gui::TForm1& WindowFixture::start(const QStringList& arguments, bool shippedLanguageFile) {
  if (shippedLanguageFile && !QFile::exists(languageFile())) {
    QDir().mkpath(QFileInfo(languageFile()).absolutePath());
    QFile::copy(QStringLiteral(ROWSMITH_SOURCE_DIR "/resources/Languages/English.ini"),
                languageFile());
  }
  gui::StartOptions options;
  options.arguments = arguments;
  options.languageFile = languageFile();
  m_window = std::make_unique<gui::TForm1>(*m_store, options);
  QSignalSpy started(m_window.get(), &gui::TForm1::started);
  if (!started.wait(10000)) qFatal("start-up did not finish");
  return *m_window;
}

}  // namespace rowsmith::gui_test
