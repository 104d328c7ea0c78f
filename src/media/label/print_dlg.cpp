#include "media/label/print_dlg.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

#include "media/label/label_print.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"

namespace vdz {
namespace {

QString Text(const char* key) {
  return QString::fromStdString(LookupText(key));
}

template <typename W>
W* Named(W* widget, int id) {
  widget->setObjectName(QString::number(id));
  return widget;
}

bool PlatformPrinterDialog(QPrinter& printer, bool setup_only, QWidget* parent) {
  if (setup_only) {
    QPageSetupDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
  }
  QPrintDialog dialog(&printer, parent);
  // No page range: a label is one page. Print to file stays: it is how the PDF output is
  // offered beside the printers.
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
  dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace

CPrintDlg::CPrintDlg(QWidget* parent)
    : QDialog(parent), printer_(std::make_unique<QPrinter>(QPrinter::PrinterResolution)) {
  setObjectName(QStringLiteral("CPrintDlg"));
  setWindowTitle(Text(keys::STRING_PRINT_QR));
  // A page-sized bitmap at the printer's full resolution would take hundreds of megabytes;
  // 300 dpi is sharp for labels.
  printer_->setResolution(300);
  printer_->setPageSize(QPageSize(QSizeF(60, 40), QPageSize::Millimeter, QStringLiteral("Label")));
  printer_->setPageMargins(QMarginsF(0, 0, 0, 0));
  printer_->setDocName(QStringLiteral("printinformation"));

  show_model_ = Named(new QCheckBox(Text(keys::PRINT_SHOW_MODEL), this), 1068);
  show_mac_ = Named(new QCheckBox(Text(keys::PRINT_SHOW_MAC), this), 1078);
  show_sn_ = Named(new QCheckBox(Text(keys::PRINT_SHOW_SN), this), 1072);
  show_ip_ = Named(new QCheckBox(Text(keys::PRINT_SHOW_IP), this), 1066);
  show_account_ = Named(new QCheckBox(Text(keys::PRINT_SHOW_ACCOUNT), this), 1067);
  show_pictures_ = Named(new QCheckBox(Text(keys::PRINT_SHOW_PICTURE), this), 1071);
  model_ = Named(new QLineEdit(this), 1070);
  ip_ = Named(new QLineEdit(this), 1069);
  account_ = Named(new QLineEdit(this), 1079);
  password_ = Named(new QLineEdit(this), 1017);
  picture1_ = Named(new QLineEdit(this), 1073);
  picture2_ = Named(new QLineEdit(this), 1010);
  picture1_->setReadOnly(true);
  picture2_->setReadOnly(true);
  browse1_ = Named(new QPushButton(QStringLiteral("..."), this), 1074);
  browse2_ = Named(new QPushButton(QStringLiteral("..."), this), 1075);
  auto* setup = Named(new QPushButton(Text(keys::PRINT_SETUP), this), 1062);
  auto* print = Named(new QPushButton(Text(keys::PRINT_PRINT), this), 1297);

  auto* grid = new QGridLayout(this);
  // The preview owns the window's top-left corner.
  grid->setContentsMargins(170, 20, 20, 20);
  int row = 0;
  grid->addWidget(show_model_, row, 0);
  grid->addWidget(model_, row++, 1, 1, 2);
  grid->addWidget(show_mac_, row++, 0);
  grid->addWidget(show_sn_, row++, 0);
  grid->addWidget(show_ip_, row, 0);
  grid->addWidget(ip_, row++, 1, 1, 2);
  grid->addWidget(show_account_, row, 0);
  grid->addWidget(account_, row, 1);
  grid->addWidget(password_, row++, 2);
  grid->addWidget(show_pictures_, row, 0);
  grid->addWidget(picture1_, row, 1);
  grid->addWidget(browse1_, row++, 2);
  grid->addWidget(picture2_, row, 1);
  grid->addWidget(browse2_, row++, 2);
  grid->addWidget(setup, row, 1);
  grid->addWidget(print, row++, 2);
  grid->setRowStretch(row, 1);

  for (QCheckBox* box : {show_model_, show_mac_, show_sn_, show_ip_, show_account_, show_pictures_})
    connect(box, &QCheckBox::toggled, this, [this] { UpdateEnables(); });
  for (QLineEdit* edit : {model_, ip_, account_, password_, picture1_, picture2_})
    connect(edit, &QLineEdit::textChanged, this, [this] { update(); });
  connect(browse1_, &QPushButton::clicked, this,
          [this] { Browse(picture1_, QStringLiteral("*.bmp")); });
  connect(browse2_, &QPushButton::clicked, this,
          [this] { Browse(picture2_, QStringLiteral("*.png")); });
  connect(setup, &QPushButton::clicked, this, [this] { PrinterSetup(); });
  connect(print, &QPushButton::clicked, this, [this] { Print(); });
  printer_dialog_ = [this](QPrinter& printer, bool setup_only) {
    return PlatformPrinterDialog(printer, setup_only, this);
  };
  chooser_ = [this](const QString& filter, const QString& name) {
    return QFileDialog::getOpenFileName(this, QString(), name, filter);
  };
  UpdateEnables();
  resize(520, 300);
}

CPrintDlg::~CPrintDlg() = default;

void CPrintDlg::SetDevice(const DeviceRecord* device) {
  if (device)
    device_ = *device;
  else
    device_.reset();
  update();
}

LabelOptions CPrintDlg::Options() const {
  LabelOptions o;
  o.show_model = show_model_->isChecked();
  o.model = model_->text().toStdString();
  o.show_mac = show_mac_->isChecked();
  o.show_sn = show_sn_->isChecked();
  o.show_ip = show_ip_->isChecked();
  o.ip = ip_->text().toStdString();
  o.show_account = show_account_->isChecked();
  o.account = account_->text().toStdString();
  o.password = password_->text().toStdString();
  o.show_pictures = show_pictures_->isChecked();
  o.picture1 = picture1_->text().toStdString();
  o.picture2 = picture2_->text().toStdString();
  return o;
}

void CPrintDlg::UpdateEnables() {
  model_->setEnabled(show_model_->isChecked());
  ip_->setEnabled(show_ip_->isChecked());
  account_->setEnabled(show_account_->isChecked());
  password_->setEnabled(show_account_->isChecked());
  for (QWidget* w : std::initializer_list<QWidget*>{picture1_, picture2_, browse1_, browse2_})
    w->setEnabled(show_pictures_->isChecked());
  update();
}

void CPrintDlg::Browse(QLineEdit* target, const QString& name) {
  // The classic filter names bitmaps only; PNG is listed too since the second default is one.
  const QString path = chooser_(QStringLiteral("File (*.bmp *.png)"), name);
  if (!path.isEmpty())
    target->setText(path);
}

void CPrintDlg::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  const QRect area = PreviewRect();
  preview_layout_ = {};
  RenderLabel(painter, area, device_ ? &*device_ : nullptr, Options(), LabelScale{}, logicalDpiY(),
              &preview_layout_);
}

void CPrintDlg::PrinterSetup() {
  printer_dialog_(*printer_, true);
}

int CPrintDlg::Print() {
  if (!device_)
    return -1;
  if (!printer_dialog_(*printer_, false))
    return 1;
  print_layout_ = {};
  return PrintLabel(*printer_, printer_->resolution(), printer_->resolution(), logicalDpiX(),
                    logicalDpiY(), &*device_, Options(), &print_layout_);
}

}  // namespace vdz
