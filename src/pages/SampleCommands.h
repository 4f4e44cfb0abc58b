#pragma once

#include <QObject>
#include <functional>
#include <string>

#include "engine/Preview.h"

class QWidget;

namespace rowsmith {
class TRecentStrings;
namespace wordmill {
class FilterApplication;
}
}  // namespace rowsmith

namespace rowsmith::gui {

class PreviewPage;
class QueryPage;
class SamplePage;
class TransformsPage;

// What the data source, sample and preview pages do with the database and
// the filters: the table list, Parse query, the sample rows (execute) and
// the preview of changes. Database work runs on a thread of its own
// (DatabaseTask) with a wait cursor; its outcome is shown on the UI thread
// in the order the steps of each command give.
//
// Threading: UI thread only.
class SampleCommands : public QObject {
  Q_OBJECT

 public:
  struct Pages {
    QueryPage* query;
    SamplePage* sample;
    TransformsPage* transforms;
    PreviewPage* preview;
  };
  // Shows a page of the wizard (and updates Back and Next).
  using ShowPage = std::function<void(int index)>;
  using Server = std::function<wordmill::FilterApplication*()>;

  SampleCommands(QWidget& window, Pages pages, ShowPage showPage, Server server);

  // The sample query; `then` runs afterwards unless the connection failed.
  void execute(std::function<void()> then = {});
  void tableNameDropDown();
  void queryCheckErrorsClick();
  void startTestClick();
  // The refresh command: the sample on page 2, the preview on page 4.
  void refresh(int currentPage);

  // The sample rows as read (with NULL and binary values told apart).
  const SampleData& sample() const { return m_sample; }
  bool busy() const { return m_busy > 0; }

 signals:
  // A command has ended, whatever its outcome (tests wait for it).
  void finished();

 private:
  struct SampleOutcome;
  void showSample(SampleOutcome& outcome, const std::vector<std::string>& oldNames,
                  const std::vector<std::string>& oldFilters, std::function<void()> then);
  void makePreview();
  std::string queryBoxText() const;
  void end();

  QWidget& m_window;
  Pages m_pages;
  ShowPage m_showPage;
  Server m_server;
  SampleData m_sample;
  int m_busy = 0;
};

}  // namespace rowsmith::gui
