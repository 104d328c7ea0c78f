#include "devconfig/dialogs/dialog_media_code.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <cstdio>

#include "devconfig/dialogs/dialog_buttons.h"
#include "devconfig/setting_validators.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"

namespace vdz {
namespace {

template <typename W>
W* Named(W* widget, const char* id) {
  widget->setObjectName(QString::fromLatin1(id));
  return widget;
}

void Fill(QComboBox* box, std::initializer_list<const char*> keys, int start) {
  for (const char* key : keys)
    box->addItem(DialogText(key));
  box->setCurrentIndex(start);
}

QString RangeText(const EncodeCapability* r) {
  return QStringLiteral("kbps(%1-%2)").arg(r ? r->min_kbps : 0).arg(r ? r->max_kbps : 0);
}

std::string TimeText(const QTime& t) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour(), t.minute(), t.second());
  return text;
}

}  // namespace

QLineEdit* CMediaCode::Edit(const char* id) {
  auto* edit = Named(new QLineEdit(this), id);
  edit->setMaxLength(30);
  connect(edit, &QLineEdit::editingFinished, edit,
          [edit] { edit->setText(edit->text().trimmed()); });
  return edit;
}

void CMediaCode::BuildStream(StreamControls& s, int stream, const char* const ids[13]) {
  s.stream = stream;
  s.format = Named(new QComboBox(this), ids[0]);
  s.resolution = Named(new QComboBox(this), ids[1]);
  s.control = Named(new QComboBox(this), ids[2]);
  s.initquant = Edit(ids[3]);
  s.bitrate = Edit(ids[4]);
  s.framerate = Named(new QComboBox(this), ids[5]);
  s.framerate->setEditable(true);
  // The longest resolution name ("2592X1944") shows whole.
  s.resolution->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  s.resolution->setMinimumContentsLength(10);
  s.lbr_enable = Named(new QComboBox(this), ids[6]);
  s.lbr_style = Named(new QComboBox(this), ids[7]);
  s.lbr_mode = Named(new QComboBox(this), ids[8]);
  s.lbr_bitrate = Edit(ids[9]);
  s.lbr_motion = Named(new QComboBox(this), ids[10]);
  s.lbr_noise = Named(new QComboBox(this), ids[11]);
  s.range = Named(new QLabel(this), ids[12]);
  connect(s.resolution, &QComboBox::currentIndexChanged, this,
          [this, &s] { OnResolutionChanged(s); });
}

CMediaCode::CMediaCode(Prompter& prompter, QWidget* parent)
    : QDialog(parent), prompter_(prompter), records_(EncodeCapabilities()) {
  static const char* const kMain[13] = {"1420", "1423", "543", "1427", "572",  "560", "1926",
                                        "1929", "1932", "573", "1935", "1938", "1424"};
  static const char* const kSub[13] = {"1421", "587",  "1425", "608",  "1429", "604", "1928",
                                       "1931", "1934", "1440", "1937", "1940", "1430"};
  BuildStream(main_, 0, kMain);
  BuildStream(sub_, 1, kSub);
  auto* grid = new QGridLayout(this);
  const char* const row_keys[] = {
      keys::VE_ENCODE_FORMAT,   keys::VE_RESOLUTION, keys::VE_BITRATE_CONTROL,
      keys::VE_IFRAME_INTERVAL, keys::VE_BITRATE,    keys::VE_FRAMERATE,
      keys::VE_LBR_ENABLE,      keys::VE_LBR_STYLE,  keys::VE_LBR_MODE,
      keys::VE_LBR_BITRATE,     keys::VE_LBR_MOTION, keys::VE_LBR_NOISE};
  for (int stream = 0; stream < 2; ++stream) {
    StreamControls& s = stream == 0 ? main_ : sub_;
    auto* box =
        new QGroupBox(DialogText(stream == 0 ? keys::VE_MAIN_STREAM : keys::VE_SUB_STREAM), this);
    auto* g = new QGridLayout(box);
    QWidget* inputs[] = {s.format,   s.resolution,  s.control,    s.initquant,
                         s.bitrate,  s.framerate,   s.lbr_enable, s.lbr_style,
                         s.lbr_mode, s.lbr_bitrate, s.lbr_motion, s.lbr_noise};
    for (int r = 0; r < 12; ++r) {
      g->addWidget(new QLabel(DialogText(row_keys[r]), box), r, 0);
      inputs[r]->setParent(box);
      g->addWidget(inputs[r], r, 1);
    }
    s.range->setParent(box);
    g->addWidget(s.range, 4, 2);
    grid->addWidget(box, 0, stream);
  }
  auto* advanced = new QGroupBox(DialogText(keys::VE_ADVANCED), this);
  auto* a = new QGridLayout(advanced);
  profile_ = Named(new QComboBox(advanced), "1567");
  wdr_mode_ = Named(new QComboBox(advanced), "1568");
  wdr_value_ = Edit("1442");
  antifog_ = Named(new QComboBox(advanced), "1576");
  antifog_value_ = Edit("1444");
  wdr_start_ = Named(new QTimeEdit(advanced), "1565");
  wdr_end_ = Named(new QTimeEdit(advanced), "1566");
  private_data_ = Named(new QComboBox(advanced), "1919");
  enc_mode_ = Named(new QComboBox(advanced), "1573");
  noise_ = Named(new QComboBox(advanced), "1574");
  shutter_mode_ = Named(new QComboBox(advanced), "1575");
  shutter_speed_ = Edit("1438");
  shutter_unit_ = Named(new QLabel(advanced), "1925");
  for (QTimeEdit* t : {wdr_start_, wdr_end_})
    t->setDisplayFormat(QStringLiteral("HH:mm:ss"));
  const std::pair<const char*, QWidget*> advanced_rows[] = {
      {keys::VE_BASE_PROFILE, profile_},
      {keys::VE_WDR, wdr_mode_},
      {keys::VE_WDR_RANGE, wdr_value_},
      {keys::VE_ANTIFOG, antifog_},
      {keys::VE_ANTIFOG_RANGE, antifog_value_},
      {keys::VE_WDR_START, wdr_start_},
      {keys::VE_WDR_END, wdr_end_},
      {keys::VE_PRIVATE_DATA, private_data_},
      {keys::VE_ENCODE_MODE, enc_mode_},
      {keys::VE_NOISE_LEVEL, noise_},
      {keys::VE_SHUTTER_MODE, shutter_mode_},
      {keys::VE_SHUTTER_SPEED, shutter_speed_}};
  int r = 0;
  for (const auto& [name, input] : advanced_rows) {
    input->setParent(advanced);
    a->addWidget(new QLabel(DialogText(name), advanced), r / 2, (r % 2) * 2);
    a->addWidget(input, r / 2, (r % 2) * 2 + 1);
    ++r;
  }
  a->addWidget(shutter_unit_, r / 2, 4);
  grid->addWidget(advanced, 1, 0, 1, 2);
  defaults_ = Named(new QPushButton(this), "1431");
  save_ = Named(new QPushButton(this), "799");
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(defaults_);
  buttons->addWidget(save_);
  grid->addLayout(buttons, 2, 0, 1, 2);
  connect(wdr_mode_, &QComboBox::currentIndexChanged, this, &CMediaCode::OnRangeModeChanged);
  connect(antifog_, &QComboBox::currentIndexChanged, this, &CMediaCode::OnRangeModeChanged);
  connect(defaults_, &QPushButton::clicked, this, &CMediaCode::OnDefaults);
  connect(save_, &QPushButton::clicked, this, &CMediaCode::OnSave);
}

void CMediaCode::showEvent(QShowEvent* event) {
  if (!opened_) {
    opened_ = true;
    setWindowTitle(DialogText(keys::ID_BATCH_SET_VIDEOENCODE));
    defaults_->setText(DialogText(keys::IDS_STR_ZH_CN_DEFAULT));
    save_->setText(DialogText(keys::IDS_STR_ZH_CN_SAVE));
    for (StreamControls* s : {&main_, &sub_}) {
      s->format->addItems({QStringLiteral("H264"), QStringLiteral("H265")});
      s->control->addItems({QStringLiteral("CBR"), QStringLiteral("VBR"), QStringLiteral("CVBR")});
      for (const std::string& name : StreamResolutions(records_, s->stream))
        s->resolution->addItem(QString::fromStdString(name));
      Fill(s->lbr_enable, {keys::IDS_STR_ZH_CN_DISABLE, keys::IDS_STR_ZH_CN_ENABLE}, 0);
      Fill(s->lbr_style, {keys::IDS_STR_ZH_CN_VE_LBR_STYLE_0, keys::IDS_STR_ZH_CN_VE_LBR_STYLE_1},
           1);
      Fill(s->lbr_mode,
           {keys::IDS_STR_ZH_CN_VE_LBR_BITRATEMODE_0, keys::IDS_STR_ZH_CN_VE_LBR_BITRATEMODE_1}, 0);
      Fill(s->lbr_motion,
           {keys::IDS_STR_ZH_CN_VE_LBR_MOTIONLEVEL_0, keys::IDS_STR_ZH_CN_VE_LBR_MOTIONLEVEL_1,
            keys::IDS_STR_ZH_CN_VE_LBR_MOTIONLEVEL_2},
           1);
      Fill(s->lbr_noise,
           {keys::IDS_STR_ZH_CN_VE_LBR_NOICELEVEL_0, keys::IDS_STR_ZH_CN_VE_LBR_NOICELEVEL_1,
            keys::IDS_STR_ZH_CN_VE_LBR_NOICELEVEL_2},
           0);
      for (QWidget* w :
           std::initializer_list<QWidget*>{s->lbr_enable, s->lbr_style, s->lbr_mode, s->lbr_bitrate,
                                           s->lbr_motion, s->lbr_noise})
        w->setEnabled(lbr_supported);
    }
    Fill(profile_, {keys::IDS_STR_ZH_CN_DISABLE, keys::IDS_STR_ZH_CN_ENABLE}, 0);
    Fill(wdr_mode_, {keys::IDS_STR_ZH_CN_DISABLE, keys::IDS_STR_ZH_CN_ENABLE}, 0);
    Fill(antifog_, {keys::IDS_STR_ZH_CN_DISABLE, keys::IDS_STR_ZH_CN_ENABLE}, 0);
    Fill(private_data_, {keys::IDS_STR_ZH_CN_ENABLE, keys::IDS_STR_ZH_CN_DISABLE}, 0);
    Fill(enc_mode_, {keys::CMediaCode_basemode, keys::CMediaCode_advancemode}, 0);
    Fill(shutter_mode_, {keys::IDS_STR_AUTO_KM_TIP, keys::IDS_STR_ZH_CN_MANUA}, 0);
    for (int level = 0; level <= 10; ++level)
      noise_->addItem(QString::number(level));
    shutter_unit_->setText(shutter_10000 ? QStringLiteral("1/(25~10000s)")
                                         : QStringLiteral("1/(25~8000s)"));
    ResetControls(kStartingRows);
    // The lists were filled after the first size was taken.
    adjustSize();
  }
  QDialog::showEvent(event);
}

void CMediaCode::OnResolutionChanged(StreamControls& s) {
  const std::string resolution = s.resolution->currentText().toStdString();
  const std::string format =
      s.format->currentIndex() <= 0 ? std::string("H264") : s.format->currentText().toStdString();
  const EncodeCapability* r = FindCapability(records_, resolution, s.stream, format);
  s.bitrate->setText(QString::number(r ? r->default_kbps : 0));
  s.range->setText(RangeText(r));
  s.framerate->clear();
  const int low = r && r->min_fps <= r->max_fps ? r->min_fps : 1;
  const int high = r && r->min_fps <= r->max_fps ? r->max_fps : 30;
  for (int fps = low; fps <= high; ++fps)
    s.framerate->addItem(QString::number(fps));
  s.framerate->setEditText(QString::number(r ? r->default_fps : 25));
  const QString main_resolution = main_.resolution->currentText();
  QString interval = QStringLiteral("100");
  if (s.stream == 0 && main_resolution == QStringLiteral("5MP"))
    interval = QStringLiteral("40");
  else if (s.stream == 0 && main_resolution == QStringLiteral("3MP"))
    interval = QStringLiteral("60");
  s.initquant->setText(interval);
}

void CMediaCode::OnDefaults() {
  ResetControls(kDefaultRows);
}

// The range boxes take a value only while their mode is in use; the document leaves the
// value out otherwise.
void CMediaCode::OnRangeModeChanged() {
  wdr_value_->setEnabled(wdr_mode_->currentIndex() > 0);
  antifog_value_->setEnabled(antifog_->currentIndex() > 0);
}

void CMediaCode::ResetControls(const ModeRows& rows) {
  for (QComboBox* box : {main_.format, sub_.format, main_.control, sub_.control, profile_,
                         wdr_mode_, private_data_, antifog_, shutter_mode_})
    box->setCurrentIndex(0);
  enc_mode_->setCurrentIndex(rows.encode_mode);
  noise_->setCurrentIndex(rows.noise_level);
  shutter_speed_->setText(QStringLiteral("25"));
  wdr_value_->setText(QStringLiteral("0"));
  antifog_value_->setText(QStringLiteral("0"));
  for (StreamControls* s : {&main_, &sub_}) {
    if (const EncodeCapability* d = DefaultCapability(records_, s->stream))
      s->resolution->setCurrentText(QString::fromStdString(d->resolution));
    OnResolutionChanged(*s);
    s->lbr_enable->setCurrentIndex(0);
    s->lbr_style->setCurrentIndex(1);
    s->lbr_mode->setCurrentIndex(0);
    s->lbr_motion->setCurrentIndex(1);
    s->lbr_noise->setCurrentIndex(0);
  }
  OnRangeModeChanged();
}

void CMediaCode::Refuse(const char* key) {
  prompter_.ShowMessage(LookupText(key));
}

bool CMediaCode::ReadStream(StreamControls& s, EncodeStreamSettings* out, bool main_is_5mp) {
  const bool main = s.stream == 0;
  out->format =
      s.format->currentIndex() <= 0 ? std::string("H264") : s.format->currentText().toStdString();
  out->resolution = s.resolution->currentText().toStdString();
  static const char* const kControls[] = {"CBR", "VBR", "CVBR"};
  out->bitrate_control = kControls[std::clamp(s.control->currentIndex(), 0, 2)];
  out->initquant = s.initquant->text().toStdString();
  out->bitrate = s.bitrate->text().toStdString();
  out->framerate = s.framerate->currentText().toStdString();
  const EncodeCapability* r = FindCapability(records_, out->resolution, s.stream, out->format);
  const int low = r ? r->min_kbps : 0;
  const int high = r ? r->max_kbps : 0;
  if (main) {
    if (!DecimalInRange(out->initquant, 1, 200))
      return Refuse(keys::IDS_STR_ZH_CN_MSG_TIPS25), false;
    if (!DecimalInRange(out->bitrate, low, high))
      return Refuse(keys::IDS_STR_ZH_CN_MSG_TIPS26), false;
  } else {
    if (!DecimalInRange(out->initquant, 1, 200)) {
      if (!main_is_5mp)
        return Refuse(keys::IDS_STR_ZH_CN_MSG_TIPS28), false;
      out->initquant = "100";
    }
    if (!DecimalInRange(out->framerate, 1, 30)) {
      if (!main_is_5mp)
        return Refuse(keys::IDS_STR_ZH_CN_MSG_TIPS30), false;
      out->framerate = "10";
    }
    if (!DecimalInRange(out->bitrate, low, high)) {
      if (!main_is_5mp)
        return Refuse(keys::IDS_STR_ZH_CN_MSG_TIPS29), false;
      out->bitrate = std::to_string(low);
    }
  }
  if (lbr_supported) {
    out->lbr_enable = s.lbr_enable->currentIndex();
    out->lbr_style = s.lbr_style->currentIndex();
    out->lbr_bitratemode = s.lbr_mode->currentIndex();
    out->lbr_motionlevel = s.lbr_motion->currentIndex();
    out->lbr_noicelevel = s.lbr_noise->currentIndex();
    out->lbr_bitrate = "0";
    if (out->lbr_enable >= 1 && out->lbr_bitratemode >= 1) {
      out->lbr_bitrate = s.lbr_bitrate->text().toStdString();
      if (!DecimalInRange(out->lbr_bitrate, low, high))
        return Refuse(main ? keys::IDS_STR_ZH_CN_MSG_TIPS26 : keys::IDS_STR_ZH_CN_MSG_TIPS29),
               false;
    }
  }
  return true;
}

void CMediaCode::OnSave() {
  EncodeStreamSettings main, sub;
  if (!ReadStream(main_, &main, false))
    return;
  if (!ReadStream(sub_, &sub, main.resolution == "5MP"))
    return;
  EncodeAdvancedSettings a;
  a.encode_profile = profile_->currentIndex();
  a.wdr_mode = wdr_mode_->currentIndex();
  a.wdr_value = wdr_value_->text().toStdString();
  a.dfrog_flag = antifog_->currentIndex();
  a.dfrog_value = antifog_value_->text().toStdString();
  a.wdr_start = TimeText(wdr_start_->time());
  a.wdr_end = TimeText(wdr_end_->time());
  a.disable_private_data = private_data_->currentIndex();
  a.enc_mode = enc_mode_->currentIndex() == 0 ? 0 : 4;
  a.noice_level = noise_->currentIndex();
  a.shutter_mode = shutter_mode_->currentIndex();
  a.shutter_speed = shutter_speed_->text().toStdString();
  if ((a.wdr_mode != 0 && !DecimalInRange(a.wdr_value, 0, 255)) ||
      (a.dfrog_flag != 0 && !DecimalInRange(a.dfrog_value, 0, 255))) {
    Refuse(keys::IDS_STR_PARAM_SCOPE_ERROR);
    return;
  }
  if (!DecimalInRange(a.shutter_speed, 25, shutter_10000 ? 10000 : 8000)) {
    Refuse(keys::IDS_STR_SHUTTER_SPEED_ERROR);
    return;
  }
  const std::string text = BuildEncodeDocument(main, sub, a, lbr_supported);
  const std::string question =
      LookupText(keys::MSG_VIDEO_ENCODE_SET) + " " + main.resolution + " " + sub.resolution;
  if (!prompter_.AskYesNo(question, LookupText(keys::TEXT21)))
    return;
  document = text;
  cancelled = false;
  accept();
}

}  // namespace vdz
