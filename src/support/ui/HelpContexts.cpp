#include "support/ui/HelpContexts.h"

namespace rowsmith::gui {

QString HelpContexts::pageOf(int context) {
  struct Topic {
    int context;
    const char* page;
  };
  static constexpr Topic kTopics[] = {
      {kHelpMenu, "main-window.html#help-menu"},
      {kFileMenu, "main-window.html#file-menu"},
      {kQueryPage, "page-query.html"},
      {kSamplePage, "page-sample.html"},
      {kTransformsPage, "page-transforms.html"},
      {kPreviewPage, "page-preview.html"},
      {kGoPage, "page-go.html"},
      {kProgressWindow, "progress-window.html"},
      {kUpdateDialog, "update-dialog.html"},
      {kConnectionBuilder, "connection-builder.html"},
      {kConnectionSource, "connection-source.html"},
      {kFilterEditor, "filter-editor.html"},
  };
  for (const Topic& topic : kTopics) {
    if (topic.context == context) return QString::fromLatin1(topic.page);
  }
  return QString::fromLatin1(kContentsPage);
}

}  // namespace rowsmith::gui
