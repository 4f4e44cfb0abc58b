#include "ConnectionScreenshots.h"

#include <QDir>
#include <QPixmap>

#include "pages/ConnectionBuilder.h"
#include "pages/ConnectionSourceDialog.h"

namespace rowsmith::gui_test {

namespace {

const char* const kExample =
    "Provider=PostgreSQL;Host=db.example;Port=5432;Database=shop;User ID=anna;sslmode=require";

void save(QWidget& window, const QString& folder, const char* name) {
  window.show();
  window.grab().save(QDir(folder).filePath(QLatin1String(name)));
  window.hide();
}

}  // namespace

void renderConnectionScreenshots(const QString& folder) {
  gui::TConnEditForm source;
  source.setWindowTitle(QStringLiteral("Form1.ADOConnection ConnectionString"));
  source.loadSource(kExample);
  save(source, folder, "connection-source.png");

  gui::ConnectionBuilder builder(kExample);
  save(builder, folder, "connection-builder.png");

  gui::ConnectionBuilder mysql(
      "Provider=MySQL;Server=db.example;Port=3306;Database=shop;User ID=anna;Password=secret");
  save(mysql, folder, "connection-builder-mysql.png");
}

}  // namespace rowsmith::gui_test
