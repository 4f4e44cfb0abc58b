#include "pages/SampleCommands.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <optional>

#include "common/Error.h"
#include "document/Settings.h"
#include "engine/FilterCarryOver.h"
#include "engine/db/ConnectionFactory.h"
#include "pages/DatabaseTask.h"
#include "pages/PreviewPage.h"
#include "pages/QueryPage.h"
#include "pages/RowsSpinBox.h"
#include "pages/SamplePage.h"
#include "pages/TableNameBox.h"
#include "pages/TextGridModel.h"
#include "pages/TransformGridModel.h"
#include "pages/TransformsPage.h"
#include "shell/DialogService.h"
#include "shell/MessageBoxes.h"

namespace rowsmith::gui {

namespace {

constexpr const char* kNoUpdates = "Warning! This query does not support updates";

enum { kSamplePageIndex = 1, kPreviewPageIndex = 3 };

void warn(QWidget* parent, const char* text) {
  DialogService::instance().showMessage(parent, DialogService::Kind::Warning,
                                        MessageBoxes::applicationTitle(), QString::fromUtf8(text));
}

// An error of a statement, as the pages report it: the message, ": " and
// the text of the query box.
void statementError(QWidget* parent, const std::string& message, const std::string& query) {
  DialogService::instance().showMessage(parent, DialogService::Kind::Error,
                                        MessageBoxes::applicationTitle(),
                                        QString::fromStdString(message + ": " + query));
}

TextGridModel::Cell cellOf(const SampleCell& cell) {
  TextGridModel::Cell shown;
  if (cell.isNull)
    shown.value = std::nullopt;
  else
    shown.value = QString::fromStdString(cell.text);
  return shown;
}

}  // namespace

struct SampleCommands::SampleOutcome {
  std::optional<std::string> connectError;
  bool opened = false;
  SampleData sample;
  std::optional<std::string> error;
};

SampleCommands::SampleCommands(QWidget& window, Pages pages, ShowPage showPage, Server server)
    : QObject(&window),
      m_window(window),
      m_pages(pages),
      m_showPage(std::move(showPage)),
      m_server(std::move(server)) {}

std::string SampleCommands::queryBoxText() const { return m_pages.query->queryText(); }

void SampleCommands::end() {
  --m_busy;
  emit finished();
}

void SampleCommands::execute(std::function<void()> then) {
  ++m_busy;
  // The filters as they stand now follow their columns by name.
  std::vector<std::string> oldNames;
  std::vector<std::string> oldFilters;
  for (const auto& entry : m_pages.transforms->model()->entries()) {
    oldNames.push_back(entry.columnName);
    oldFilters.push_back(entry.filter);
  }
  TSettings job;
  job.dataSource = m_pages.query->dataSource();
  job.useTable = m_pages.query->useTable();
  job.tableName = m_pages.query->tableName();
  job.query = queryBoxText();
  const int limit = m_pages.sample->previewRows()->typedValue();

  DatabaseTask::start<SampleOutcome>(
      this,
      [job, limit] {
        SampleOutcome outcome;
        std::unique_ptr<db::Connection> connection;
        try {
          connection = db::connect(job.dataSource);
        } catch (const std::exception& error) {
          outcome.connectError = error.what();
          return outcome;
        }
        try {
          // The sample never counts the rows: that would read the whole table.
          db::OpenOptions options;
          options.countRecords = false;
          auto recordSet = connection->open(jobStatement(job, *connection), options);
          readSampleRows(
              *recordSet, limit,
              [&](const SampleData& columns) {
                outcome.opened = true;
                outcome.sample = columns;
              },
              [&](std::vector<SampleCell> row) { outcome.sample.rows.push_back(std::move(row)); });
          recordSet->close();
        } catch (const std::exception& error) {
          outcome.error = error.what();
        }
        return outcome;
      },
      [this, oldNames, oldFilters, then](SampleOutcome& outcome) {
        showSample(outcome, oldNames, oldFilters, then);
        end();
      });
}

void SampleCommands::showSample(SampleOutcome& outcome, const std::vector<std::string>& oldNames,
                                const std::vector<std::string>& oldFilters,
                                std::function<void()> then) {
  if (outcome.connectError) {
    MessageBoxes::showError(&m_window, *outcome.connectError);
    return;
  }
  m_showPage(kSamplePageIndex);
  TextGridModel& grid = *m_pages.sample->sampleModel();
  if (outcome.opened) {
    if (!outcome.sample.supportsUpdates) warn(&m_window, kNoUpdates);
    QStringList headings;
    for (const std::string& name : outcome.sample.columnNames)
      headings << QString::fromStdString(name);
    grid.clearRows();
    grid.setHeadings(headings);
    const std::vector<std::string> filters =
        carryOverFilters(oldNames, oldFilters, outcome.sample.columnNames);
    std::vector<TransformGridModel::Entry> entries;
    for (std::size_t i = 0; i < filters.size(); ++i)
      entries.push_back({outcome.sample.columnNames[i], filters[i]});
    m_pages.transforms->model()->setEntries(std::move(entries));
    for (const auto& row : outcome.sample.rows) {
      TextGridModel::Row cells;
      for (const SampleCell& cell : row) cells.push_back(cellOf(cell));
      grid.appendRow(std::move(cells));
    }
    m_sample = std::move(outcome.sample);
  } else if (!outcome.error) {
    grid.clearRows();
    m_sample = {};
  }
  if (outcome.error) {
    statementError(&m_window, *outcome.error, queryBoxText());
  } else {
    m_pages.sample->rowsReturned()->setText(
        QStringLiteral("Rows returned: %1").arg(m_sample.rows.size()));
  }
  if (then) then();
}

void SampleCommands::tableNameDropDown() {
  ++m_busy;
  const std::string source = m_pages.query->dataSource();
  struct Names {
    std::optional<std::string> error;
    std::vector<std::string> names;
  };
  DatabaseTask::start<Names>(
      this,
      [source] {
        Names result;
        try {
          result.names = db::connect(source)->tableNames();
        } catch (const std::exception& error) {
          result.error = error.what();
        }
        return result;
      },
      [this](Names& result) {
        if (result.error) {
          MessageBoxes::showError(&m_window, *result.error);
        } else {
          TableNameBox* box = m_pages.query->tableNameBox();
          const QString typed = box->currentText();
          const QSignalBlocker quiet(box);
          box->clear();
          for (const std::string& name : result.names) box->addItem(QString::fromStdString(name));
          box->setEditText(typed);
          if (box->isVisible()) box->showList();
        }
        end();
      });
}

void SampleCommands::queryCheckErrorsClick() {
  ++m_busy;
  const std::string source = m_pages.query->dataSource();
  const std::string query = queryBoxText();
  struct Check {
    std::optional<std::string> connectError;
    std::optional<std::string> error;
    bool supportsUpdates = true;
  };
  DatabaseTask::start<Check>(
      this,
      [source, query] {
        Check check;
        std::unique_ptr<db::Connection> connection;
        try {
          connection = db::connect(source);
        } catch (const std::exception& error) {
          check.connectError = error.what();
          return check;
        }
        try {
          db::OpenOptions options;
          options.countRecords = false;
          auto recordSet = connection->open(query, options);
          check.supportsUpdates = recordSet->supportsUpdates();
          recordSet->close();
        } catch (const std::exception& error) {
          check.error = error.what();
        }
        return check;
      },
      [this, query](Check& check) {
        if (check.connectError) {
          MessageBoxes::showError(&m_window, *check.connectError);
        } else if (check.error) {
          statementError(&m_window, *check.error, query);
        } else {
          if (!check.supportsUpdates) warn(&m_window, kNoUpdates);
          MessageBoxes::showPlain(&m_window, "SQL query is Ok");
        }
        end();
      });
}

void SampleCommands::startTestClick() {
  if (m_pages.sample->sampleModel()->rowCount() <= 1) {
    execute([this] { makePreview(); });
    return;
  }
  makePreview();
}

void SampleCommands::makePreview() {
  std::vector<std::string> filters;
  for (const auto& entry : m_pages.transforms->model()->entries()) filters.push_back(entry.filter);
  TextGridModel& grid = *m_pages.preview->model();
  MessageBoxes::runGuarded(&m_window, [&] {
    wordmill::FilterApplication* server = m_server();
    if (!server) throw Error("Wordmill Pro has not been started");
    PreviewData preview;
    bool compiled = false;
    try {
      previewChanges(*server, m_sample, filters, preview, [&] {
        compiled = true;
        m_showPage(kPreviewPageIndex);
        grid.clearRows();
        grid.setHeadings(m_pages.sample->sampleModel()->headings());
      });
    } catch (...) {
      // A failed compile leaves the page as it was; after a failed value the
      // cells done so far stay.
      if (compiled) grid.setPreview(m_sample, preview);
      throw;
    }
    grid.setPreview(m_sample, preview);
  });
  emit finished();
}

void SampleCommands::refresh(int currentPage) {
  if (currentPage == kSamplePageIndex) execute();
  if (currentPage == kPreviewPageIndex) startTestClick();
}

}  // namespace rowsmith::gui
