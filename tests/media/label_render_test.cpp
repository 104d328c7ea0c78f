// The label as drawn: layout rules on an image, the window's preview, and PDF output read
// back with the Debian tools a field engineer would use (pdftoppm, zbarimg).
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPrinter>
#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "media/label/label_print.h"
#include "media/label/print_dlg.h"
#include "shell/bounded_text.h"

namespace vdz {
namespace {

namespace fs = std::filesystem;

class Env : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "label_render_test";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QApplication> app_;
};
const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new Env);

std::string Run(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe)
    return out;
  std::array<char, 512> buffer{};
  while (fgets(buffer.data(), buffer.size(), pipe))
    out += buffer.data();
  pclose(pipe);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
    out.pop_back();
  return out;
}

// The QR Code found on the first page of the PDF, empty when none.
std::string DecodePdf(const fs::path& pdf) {
  const fs::path png = pdf.parent_path() / (pdf.stem().string() + "-page");
  Run("pdftoppm -r 300 -png -singlefile '" + pdf.string() + "' '" + png.string() + "'");
  return Run("zbarimg --quiet --raw '" + png.string() + ".png' 2>/dev/null");
}

class LabelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("vdz-label-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    device_ = ZeroDeviceRecord();
    CopyBounded(device_.DeviceType, "NVS-IPCAM-QM6100_V2");
    CopyBounded(device_.SerialNumber, "SN20260001");
    CopyBounded(device_.P2pId, "QMP2P-4F2A-77310-XYZ");
    CopyBounded(device_.Lan.MacAddress, "00:11:22:33:44:55");
    CopyBounded(device_.Lan.IPAddress, "10.0.0.7");
    CopyBounded(device_.Users.Accounts[0].Username, "admin");
    CopyBounded(device_.Users.Accounts[0].Password, "secret");
  }
  void TearDown() override { fs::remove_all(dir_); }

  LabelLayout Draw(const LabelOptions& o, QImage* out = nullptr) {
    QImage image(120, 80, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    LabelLayout layout;
    EXPECT_EQ(RenderLabel(p, image.rect(), &device_, o, {}, 96, &layout), 0);
    p.end();
    if (out)
      *out = image;
    return layout;
  }

  fs::path dir_;
  DeviceRecord device_;
};

TEST_F(LabelTest, PdfQrDecodesToTheP2pId) {
  LabelOptions o;
  o.show_model = o.show_mac = o.show_sn = o.show_ip = o.show_account = true;
  const fs::path pdf = dir_ / "label.pdf";
  LabelLayout layout;
  ASSERT_EQ(WriteLabelPdf(pdf.string(), device_, o, 96, &layout), 0);
  EXPECT_EQ(layout.lines, 5);
  EXPECT_FALSE(layout.qr.isEmpty());
  EXPECT_EQ(DecodePdf(pdf), "QMP2P-4F2A-77310-XYZ");
}

TEST_F(LabelTest, OnlyTheQrWhenNothingIsChecked) {
  QImage image;
  const LabelLayout layout = Draw(LabelOptions{}, &image);
  EXPECT_EQ(layout.lines, 0);
  EXPECT_EQ(layout.qr, QRect(120 - 68, 12, 68, 68));  // height 80 - top 12 bounds it
  // Nothing but background left of the QR.
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < layout.qr.left(); ++x)
      ASSERT_EQ(image.pixel(x, y), qRgb(225, 225, 225)) << x << "," << y;
}

TEST_F(LabelTest, QrShrinksWithAWideAccountLine) {
  LabelOptions o;
  o.show_account = true;
  o.account = "ad";
  o.password = "1";
  const LabelLayout narrow = Draw(o);
  o.account = "installer";
  const LabelLayout wide = Draw(o);
  EXPECT_LT(wide.qr.width(), narrow.qr.width());
  EXPECT_GE(wide.qr.left(), wide.text_width);
  EXPECT_EQ(wide.qr.right(), 119);
  // Text wider than the label leaves no room at all: no QR rather than a mirrored one.
  o.account = "installer-with-a-name-far-wider-than-the-label";
  EXPECT_TRUE(Draw(o).qr.isEmpty());
}

TEST_F(LabelTest, NoDeviceDrawsNothing) {
  QImage image(120, 80, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  EXPECT_EQ(RenderLabel(p, image.rect(), nullptr, LabelOptions{}, {}, 96), -1);
  p.end();
  EXPECT_EQ(image.pixel(60, 40), qRgb(255, 255, 255));
}

class PrintDlgTest : public LabelTest {
 protected:
  void SetUp() override {
    LabelTest::SetUp();
    dlg_ = std::make_unique<CPrintDlg>();
    dlg_->show();
  }
  template <typename W>
  W* Child(int id) {
    return dlg_->findChild<W*>(QString::number(id));
  }
  QImage Preview() { return dlg_->grab().toImage(); }
  std::unique_ptr<CPrintDlg> dlg_;
};

TEST_F(PrintDlgTest, EditsFollowTheirCheckBoxes) {
  struct Rule {
    int box;
    std::vector<int> inputs;
  };
  const Rule rules[] = {
      {1068, {1070}}, {1066, {1069}}, {1067, {1079, 1017}}, {1071, {1073, 1010, 1074, 1075}}};
  for (const Rule& r : rules) {
    for (int id : r.inputs)
      EXPECT_FALSE(Child<QWidget>(id)->isEnabled()) << id;
    Child<QCheckBox>(r.box)->setChecked(true);
    for (int id : r.inputs)
      EXPECT_TRUE(Child<QWidget>(id)->isEnabled()) << id;
  }
}

TEST_F(PrintDlgTest, PreviewIsTheLabelAtScreenScale) {
  dlg_->SetDevice(&device_);
  Child<QCheckBox>(1068)->setChecked(true);
  Child<QCheckBox>(1067)->setChecked(true);
  const QImage shown = Preview().copy(CPrintDlg::PreviewRect());
  QImage direct(120, 80, QImage::Format_RGB32);
  QPainter p(&direct);
  LabelLayout layout;
  RenderLabel(p, direct.rect(), &device_, dlg_->Options(), {}, dlg_->logicalDpiY(), &layout);
  p.end();
  EXPECT_EQ(dlg_->preview_layout().qr, layout.qr);
  EXPECT_EQ(dlg_->preview_layout().lines, 2);
  EXPECT_EQ(shown.convertToFormat(QImage::Format_RGB32), direct);
}

TEST_F(PrintDlgTest, DeviceWithoutIdAfterOneWithItGetsNoQr) {
  dlg_->SetDevice(&device_);
  Preview();
  EXPECT_FALSE(dlg_->preview_layout().qr.isEmpty());
  DeviceRecord plain = device_;
  CopyBounded(plain.P2pId, "");
  dlg_->SetDevice(&plain);
  Preview();
  EXPECT_TRUE(dlg_->preview_layout().qr.isEmpty());
}

TEST_F(PrintDlgTest, PrintsToPdfAtThePrinterScale) {
  EXPECT_EQ(dlg_->Print(), -1);  // no device: nothing happens
  dlg_->SetDevice(&device_);
  const fs::path pdf = dir_ / "printed.pdf";
  dlg_->SetPrinterDialog([&](QPrinter& printer, bool setup_only) {
    EXPECT_FALSE(setup_only);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf.string()));
    return true;
  });
  ASSERT_EQ(dlg_->Print(), 0);
  // Nothing checked: the QR starts at the first line box, twelve screen pixels down.
  const int scale = 300 / dlg_->logicalDpiY();
  EXPECT_EQ(dlg_->print_layout().qr_top, 12 * scale);
  EXPECT_GT(dlg_->print_layout().qr.width(), dlg_->preview_layout().qr.width());
  EXPECT_EQ(DecodePdf(pdf), "QMP2P-4F2A-77310-XYZ");
}

}  // namespace
}  // namespace vdz
