// The label window: which lines go on the label, a live preview, printer set-up and print.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <optional>

#include "media/label/label_renderer.h"

class QCheckBox;
class QLineEdit;
class QPrinter;
class QPushButton;

namespace vdz {

class CPrintDlg : public QDialog {
  Q_OBJECT

 public:
  // Shows the platform dialog for the printer; true on OK. Tests bring their own.
  using PrinterDialog = std::function<bool(QPrinter& printer, bool setup_only)>;
  // A file chooser: (filter, default name) -> path, empty when cancelled.
  using FileChooser = std::function<QString(const QString& filter, const QString& name)>;

  explicit CPrintDlg(QWidget* parent = nullptr);
  ~CPrintDlg() override;

  // The window keeps its own copy of the row's record and never changes the row.
  void SetDevice(const DeviceRecord* device);
  const std::optional<DeviceRecord>& device() const { return device_; }
  LabelOptions Options() const;
  // The preview's area in the window.
  static QRect PreviewRect() { return QRect(QPoint(30, 30), QPoint(149, 109)); }
  const LabelLayout& preview_layout() const { return preview_layout_; }
  int Print();
  void PrinterSetup();
  void SetPrinterDialog(PrinterDialog dialog) { printer_dialog_ = std::move(dialog); }
  void SetFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }
  QPrinter& printer() { return *printer_; }
  const LabelLayout& print_layout() const { return print_layout_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void UpdateEnables();
  void Browse(QLineEdit* target, const QString& name);

  std::optional<DeviceRecord> device_;
  std::unique_ptr<QPrinter> printer_;
  PrinterDialog printer_dialog_;
  FileChooser chooser_;
  LabelLayout preview_layout_;
  LabelLayout print_layout_;
  QCheckBox* show_model_;
  QCheckBox* show_mac_;
  QCheckBox* show_sn_;
  QCheckBox* show_ip_;
  QCheckBox* show_account_;
  QCheckBox* show_pictures_;
  QLineEdit* model_;
  QLineEdit* ip_;
  QLineEdit* account_;
  QLineEdit* password_;
  QLineEdit* picture1_;
  QLineEdit* picture2_;
  QPushButton* browse1_;
  QPushButton* browse2_;
};

}  // namespace vdz
