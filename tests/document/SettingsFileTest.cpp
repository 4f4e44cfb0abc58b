// Loading and saving settings files on disk: what a success sets, and what a
// failure leaves behind.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "common/Error.h"
#include "document/Settings.h"
#include "document/SettingsTestHelpers.h"

namespace rowsmith {
namespace {

namespace fs = std::filesystem;
using settings_test::exampleJob;
using settings_test::exampleJobBytes;
using settings_test::expectSameJob;
using settings_test::readBytes;
using settings_test::StreamBytes;
using settings_test::TempFolder;
using settings_test::writeBytes;

std::string errorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& e) {
    return e.what();
  }
  return "(no error)";
}

class SettingsFileTest : public testing::Test {
 protected:
  TempFolder m_folder;
};

TEST_F(SettingsFileTest, SaveAndLoadSetFileNameAndKeepEveryField) {
  TSettings job = exampleJob();
  job.query = "select *\r\nfrom customer";
  const std::string path = m_folder.file("job.rsm");
  job.SaveToFile(path);
  EXPECT_EQ(job.fileName, path);
  EXPECT_EQ(m_folder.entries(), std::vector<std::string>{"job.rsm"});

  TSettings loaded;
  loaded.LoadFromFile(path);
  EXPECT_EQ(loaded.fileName, path);
  expectSameJob(loaded, job);
}

TEST_F(SettingsFileTest, SavesTheExampleJobByteForByteAndReplacesAnOlderFile) {
  const std::string path = m_folder.file("job.rsm");
  writeBytes(path, std::string(500, 'x'));
  ::chmod(path.c_str(), 0640);
  TSettings job = exampleJob();
  job.SaveToFile(path);
  EXPECT_EQ(readBytes(path), exampleJobBytes());
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(m_folder.entries(), std::vector<std::string>{"job.rsm"});
}

TEST_F(SettingsFileTest, SavingThroughASymbolicLinkReplacesItsTarget) {
  const std::string target = m_folder.file("real.rsm");
  const std::string link = m_folder.file("link.rsm");
  writeBytes(target, "old");
  fs::create_symlink(target, link);
  TSettings job = exampleJob();
  job.SaveToFile(link);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(readBytes(target), exampleJobBytes());
}

TEST_F(SettingsFileTest, LoadReportsAFileThatCannotBeOpened) {
  for (const std::string& path : {m_folder.file("missing.rsm"), m_folder.path().string()}) {
    TSettings settings;
    settings.fileName = "before.rsm";
    EXPECT_EQ(errorOf([&] { settings.LoadFromFile(path); }), "Cannot open file " + path);
    EXPECT_EQ(settings.fileName, "before.rsm");
  }
}

TEST_F(SettingsFileTest, FailedLoadChangesFieldsReadButNeverFileName) {
  const std::string path = m_folder.file("broken.rsm");
  writeBytes(path, StreamBytes()
                       .header()
                       .name("TSettings")
                       .int8(2)
                       .shortString("DSN=new")
                       .shortString("new query")
                       .byte(0x03)
                       .byte(0xFF)
                       .str());
  TSettings settings = exampleJob();
  settings.fileName = "before.rsm";
  EXPECT_EQ(errorOf([&] { settings.LoadFromFile(path); }),
            "Error reading TSettings.TSettings: Stream read error");
  EXPECT_EQ(settings.fileName, "before.rsm");
  EXPECT_EQ(settings.dataSource, "DSN=new");
  EXPECT_EQ(settings.query, "new query");
  EXPECT_EQ(settings.previewRows, 1000);
  EXPECT_EQ(settings.tableName, "CUSTOMER");
}

TEST_F(SettingsFileTest, SaveReportsAPathThatCannotBeCreated) {
  const fs::path gone = m_folder.path() / "gone";
  fs::create_directory(gone);
  fs::remove(gone);
  const std::string cases[] = {(gone / "job.rsm").string(), m_folder.path().string()};
  for (const std::string& path : cases) {
    TSettings job = exampleJob();
    job.fileName = "before.rsm";
    EXPECT_EQ(errorOf([&] { job.SaveToFile(path); }), "Cannot create file " + path);
    EXPECT_EQ(job.fileName, "before.rsm");
  }
  EXPECT_TRUE(m_folder.entries().empty());
}

TEST_F(SettingsFileTest, SaveRefusesAReadOnlyFileOrFolder) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
  const std::string path = m_folder.file("job.rsm");
  writeBytes(path, "keep me");
  ::chmod(path.c_str(), 0444);
  TSettings job = exampleJob();
  EXPECT_EQ(errorOf([&] { job.SaveToFile(path); }), "Cannot create file " + path);
  EXPECT_EQ(readBytes(path), "keep me");

  ::chmod(path.c_str(), 0644);
  ::chmod(m_folder.path().c_str(), 0555);
  EXPECT_EQ(errorOf([&] { job.SaveToFile(path); }), "Cannot create file " + path);
  ::chmod(m_folder.path().c_str(), 0755);
  EXPECT_EQ(readBytes(path), "keep me");
  EXPECT_EQ(job.fileName, "");
}

// A write that fails half way (here: the file size limit of the process is
// below the size of the job) must leave the existing file whole and no
// temporary file behind.
TEST_F(SettingsFileTest, FailedWriteKeepsTheExistingFile) {
  const std::string path = m_folder.file("job.rsm");
  const std::string good = exampleJobBytes();
  writeBytes(path, good);

  TSettings job = exampleJob();
  job.query = std::string(4096, 'q');
  rlimit old{};
  ::getrlimit(RLIMIT_FSIZE, &old);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 1024;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::string message = errorOf([&] { job.SaveToFile(path); });
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_EQ(message, "Stream write error");
  EXPECT_EQ(job.fileName, "");
  EXPECT_EQ(readBytes(path), good);
  EXPECT_EQ(m_folder.entries(), std::vector<std::string>{"job.rsm"});
}

}  // namespace
}  // namespace rowsmith
