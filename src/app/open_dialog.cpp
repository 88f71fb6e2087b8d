#include "app/open_dialog.h"

#include <QComboBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace ninetrace {

namespace {

enum TRole { RawName = Qt::UserRole, IsFolder };

struct TEntry {
  std::string Name;  // the bytes on disk
  bool Folder = false;
  std::int64_t Size = 0;
  std::int64_t Modified = 0;  // seconds since the epoch
};

bool IsRecordingName(const std::string& name) {
  if (name.size() < 4) return false;
  std::string end = name.substr(name.size() - 4);
  std::transform(end.begin(), end.end(), end.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return end == ".bin";
}

// Hidden names are left out, as file managers do; unreadable entries too. `problem` says why
// the folder itself cannot be read.
std::vector<TEntry> ReadEntries(const std::filesystem::path& folder, bool recordingsOnly, std::string& problem) {
  std::vector<TEntry> entries;
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.empty() ? "." : folder.c_str()), &::closedir);
  if (!dir) {
    problem = std::error_code(errno, std::generic_category()).message();
    return entries;
  }
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name.empty() || name[0] == '.') continue;
    struct stat info {};
    if (::stat((folder / name).c_str(), &info) != 0) continue;
    const bool isFolder = S_ISDIR(info.st_mode);
    if (!isFolder && recordingsOnly && !IsRecordingName(name)) continue;
    entries.push_back({name, isFolder, static_cast<std::int64_t>(info.st_size), static_cast<std::int64_t>(info.st_mtime)});
  }
  std::sort(entries.begin(), entries.end(),
            [](const TEntry& a, const TEntry& b) { return a.Folder != b.Folder ? a.Folder : a.Name < b.Name; });
  return entries;
}

// Bytes that are not UTF-8 show as the replacement character; the item keeps the bytes.
QString Shown(const std::string& name) { return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())); }

}  // namespace

QString SizeText(std::int64_t bytes) {
  return QLocale().toString(static_cast<qlonglong>(bytes)) + (bytes == 1 ? QStringLiteral(" byte") : QStringLiteral(" bytes"));
}

TOpenDialog::TOpenDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("OpenDialog1"));
  setWindowTitle(QStringLiteral("Open"));
  resize(640, 440);
  folderLabel_ = new QLabel(this);
  folderLabel_->setObjectName(QStringLiteral("Folder"));
  auto* up = new QPushButton(QStringLiteral("Up"), this);
  up->setAutoDefault(false);
  list_ = new QTreeWidget(this);
  list_->setObjectName(QStringLiteral("Files"));
  list_->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Modified")});
  list_->setRootIsDecorated(false);
  list_->setAllColumnsShowFocus(true);
  list_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  list_->header()->setStretchLastSection(false);
  name_ = new QLineEdit(this);
  name_->setObjectName(QStringLiteral("FileName"));
  filter_ = new QComboBox(this);
  filter_->setObjectName(QStringLiteral("Filter"));
  filter_->addItems({QStringLiteral("Recordings (*.bin)"), QStringLiteral("All files (*)")});
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Open | QDialogButtonBox::Cancel, this);

  auto* layout = new QGridLayout(this);
  auto* folderRow = new QHBoxLayout;
  folderRow->addWidget(new QLabel(QStringLiteral("Look in:"), this));
  folderRow->addWidget(folderLabel_, 1);
  folderRow->addWidget(up);
  layout->addLayout(folderRow, 0, 0, 1, 2);
  layout->addWidget(list_, 1, 0, 1, 2);
  layout->addWidget(new QLabel(QStringLiteral("File name:"), this), 2, 0);
  layout->addWidget(name_, 2, 1);
  layout->addWidget(new QLabel(QStringLiteral("Files of type:"), this), 3, 0);
  layout->addWidget(filter_, 3, 1);
  layout->addWidget(buttons, 4, 0, 1, 2);

  connect(up, &QPushButton::clicked, this, [this] { Enter(folder_.parent_path()); });
  // Return anywhere presses Open (the default button), which then acts on what has the focus.
  connect(buttons, &QDialogButtonBox::accepted, this, &TOpenDialog::Choose);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) { Activate(item); });
  connect(list_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (item && !item->data(0, IsFolder).toBool()) name_->setText(item->text(0));
  });
  connect(filter_, &QComboBox::currentIndexChanged, this, [this] { ReadFolder(); });
}

void TOpenDialog::SetFolder(const std::filesystem::path& folder) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(folder.empty() ? "." : folder, error);
  folder_ = error ? folder : absolute.lexically_normal();
  // "/a/b/" names the same folder as "/a/b"; Up must go to "/a" from either.
  if (!folder_.has_filename() && folder_ != folder_.root_path()) folder_ = folder_.parent_path();
}

void TOpenDialog::showEvent(QShowEvent* event) {
  ReadFolder();
  name_->setFocus();
  QDialog::showEvent(event);
}

void TOpenDialog::ReadFolder() {
  list_->clear();
  const QLocale locale;
  std::string problem;
  const std::vector<TEntry> entries = ReadEntries(folder_, filter_->currentIndex() == 0, problem);
  const QString folder = QFile::decodeName(folder_.c_str());
  folderLabel_->setText(problem.empty() ? folder : folder + QStringLiteral(" (cannot be read: %1)").arg(QString::fromStdString(problem)));
  for (const TEntry& entry : entries) {
    auto* item = new QTreeWidgetItem(list_);
    item->setText(0, entry.Folder ? Shown(entry.Name) + '/' : Shown(entry.Name));
    item->setData(0, RawName, QByteArray::fromStdString(entry.Name));
    item->setData(0, IsFolder, entry.Folder);
    if (!entry.Folder) {
      item->setText(1, SizeText(entry.Size));
      item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    }
    item->setText(2, locale.toString(QDateTime::fromSecsSinceEpoch(entry.Modified), QStringLiteral("yyyy-MM-dd hh:mm")));
  }
  list_->resizeColumnToContents(1);
  list_->resizeColumnToContents(2);
}

void TOpenDialog::Enter(const std::filesystem::path& folder) {
  SetFolder(folder);
  name_->clear();
  ReadFolder();
}

void TOpenDialog::Activate(QTreeWidgetItem* item) {
  if (!item) return;
  const std::filesystem::path chosen = folder_ / item->data(0, RawName).toByteArray().toStdString();
  if (item->data(0, IsFolder).toBool()) return Enter(chosen);
  accept();
  emit fileSelected(chosen);
}

void TOpenDialog::Choose() {
  QTreeWidgetItem* current = list_->currentItem();
  if (list_->hasFocus() && current) return Activate(current);
  const QString typed = name_->text();
  if (typed.isEmpty()) return;
  // The selected row's own bytes, when the field still shows its name: they may not be UTF-8.
  if (current && current->text(0) == typed) return Activate(current);
  const std::filesystem::path named = QFile::encodeName(typed).toStdString();
  const std::filesystem::path chosen = named.is_absolute() ? named : folder_ / named;
  std::error_code error;
  if (std::filesystem::is_directory(chosen, error)) return Enter(chosen);
  accept();
  emit fileSelected(chosen);
}

}  // namespace ninetrace
