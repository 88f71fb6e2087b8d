// The Open dialog. The toolkit's own file dialog cannot do what a recording needs: it lists
// names only if they decode as UTF-8 (so recordings whose names carry other bytes never
// appear, and could not be opened through its text either), its sizes come from a cache that
// keeps a recording's size from when it was first seen ("0 bytes" for one that has grown since),
// and its name completer's pop-up stays up after Return, eating the next click. This one reads
// the folder afresh every time it is shown, keeps each name as the bytes it is on disk, offers
// "Recordings (*.bin)" first and all files second, and has no pop-ups of its own.
#pragma once

#include <QDialog>

#include <cstdint>
#include <filesystem>

class QComboBox;
class QLabel;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace ninetrace {

// "70,000 bytes", grouped as the person's locale groups numbers.
QString SizeText(std::int64_t bytes);

class TOpenDialog : public QDialog {
  Q_OBJECT

 public:
  explicit TOpenDialog(QWidget* parent);

  // Where the next showing starts; the folder is read when the dialog is shown.
  void SetFolder(const std::filesystem::path& folder);
  const std::filesystem::path& Folder() const { return folder_; }
  // Reads the folder again (also done on every showing).
  void ReadFolder();

 signals:
  // A file was chosen, by its name's bytes on disk; the dialog has closed.
  void fileSelected(const std::filesystem::path& file);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Choose();
  void Activate(QTreeWidgetItem* item);
  void Enter(const std::filesystem::path& folder);

  std::filesystem::path folder_;
  QLabel* folderLabel_ = nullptr;
  QTreeWidget* list_ = nullptr;
  QLineEdit* name_ = nullptr;
  QComboBox* filter_ = nullptr;
};

}  // namespace ninetrace
