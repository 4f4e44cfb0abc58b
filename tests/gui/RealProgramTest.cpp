// The real rowsmith executable, started as a user's desktop would start it
// (offscreen here), reached from another program through rowsmith-run dde.
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "document/Settings.h"

namespace {

struct RunResult {
  int status = -1;
  QString out;
  QString err;
};

class RealProgramTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void ddeOpensAJobInTheRunningProgram();
  void ddeWithoutAProgramSaysSo();

 private:
  RunResult runner(const QStringList& args);
  QProcessEnvironment environment() const;

  std::unique_ptr<QTemporaryDir> m_folder;
  std::unique_ptr<QProcess> m_program;
};

void RealProgramTest::init() {
  m_folder = std::make_unique<QTemporaryDir>();
  QDir(m_folder->path()).mkpath(QStringLiteral("runtime"));
  QFile::setPermissions(m_folder->filePath(QStringLiteral("runtime")),
                        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void RealProgramTest::cleanup() {
  if (m_program) {
    m_program->kill();
    m_program->waitForFinished(5000);
    m_program.reset();
  }
  m_folder.reset();
}

QProcessEnvironment RealProgramTest::environment() const {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_folder->filePath(QStringLiteral("runtime")));
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_folder->filePath(QStringLiteral("config")));
  env.insert(QStringLiteral("XDG_DATA_HOME"), m_folder->filePath(QStringLiteral("data")));
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  return env;
}

RunResult RealProgramTest::runner(const QStringList& args) {
  QProcess process;
  process.setProcessEnvironment(environment());
  process.start(QStringLiteral(ROWSMITH_BINARY_DIR "/rowsmith-run"), args);
  if (!process.waitForFinished(30000)) return {};
  return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
          QString::fromUtf8(process.readAllStandardError())};
}

void RealProgramTest::ddeOpensAJobInTheRunningProgram() {
  rowsmith::TSettings job;
  job.dataSource = "Provider=SQLite;Data Source=" ROWSMITH_SOURCE_DIR "/examples/demo.sqlite";
  job.useTable = true;
  job.tableName = "customers";
  const QString path = m_folder->filePath(QStringLiteral("demo job.rsm"));
  job.SaveToFile(path.toStdString());

  m_program = std::make_unique<QProcess>();
  m_program->setProcessEnvironment(environment());
  m_program->start(QStringLiteral(ROWSMITH_BINARY_DIR "/rowsmith"), QStringList());
  QVERIFY(m_program->waitForStarted(10000));

  RunResult state;
  QTRY_VERIFY_WITH_TIMEOUT((state = runner({"dde", "--query-state"})).status == 0, 20000);
  QVERIFY2(state.out.contains(QStringLiteral("title=Untitled - Rowsmith by Morvane Software")),
           qPrintable(state.out));

  const RunResult opened = runner({"dde", QStringLiteral("[FileOpen(\"%1\")]").arg(path)});
  QCOMPARE(opened.status, 0);
  QCOMPARE(opened.out, QString());
  state = runner({"dde", "--query-state"});
  QVERIFY2(state.out.contains(QStringLiteral("title=demo job.rsm - Rowsmith by Morvane Software")),
           qPrintable(state.out));
  QVERIFY(state.out.contains(QStringLiteral("page=0")));
}

void RealProgramTest::ddeWithoutAProgramSaysSo() {
  const RunResult result = runner({"dde", "[FileOpen(\"/tmp/x.rsm\")]"});
  QCOMPARE(result.status, 1);
  QCOMPARE(result.err, QStringLiteral("rowsmith-run: Rowsmith is not running\n"));
}

}  // namespace

QTEST_MAIN(RealProgramTest)
#include "RealProgramTest.moc"
