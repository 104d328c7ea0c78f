// The video encoding dialog: main and sub stream settings and the advanced encoder settings,
// checked against the device's limits and handed back as one Encode document.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "devconfig/media_setting_tables.h"
#include "devconfig/settings_documents.h"
#include "shell/prompter.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimeEdit;

namespace vdz {

class CMediaCode : public QDialog {
  Q_OBJECT

 public:
  explicit CMediaCode(Prompter& prompter, QWidget* parent = nullptr);

  bool lbr_supported = false;
  bool shutter_10000 = false;  // shutter speeds up to 1/10000 s
  std::string document;        // set by Save
  bool cancelled = true;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  struct StreamControls {
    int stream = 0;
    QComboBox *format, *resolution, *control, *framerate;
    QLineEdit *initquant, *bitrate, *lbr_bitrate;
    QLabel* range;
    QComboBox *lbr_enable, *lbr_style, *lbr_mode, *lbr_motion, *lbr_noise;
  };

  // Encode-mode and noise-level rows: the dialog opens at the starting rows, the Defaults
  // button selects the advanced mode and noise level 6.
  struct ModeRows {
    int encode_mode, noise_level;
  };
  static constexpr ModeRows kStartingRows{0, 0};
  static constexpr ModeRows kDefaultRows{1, 6};

  void BuildStream(StreamControls& s, int stream, const char* const ids[13]);
  void OnResolutionChanged(StreamControls& s);
  void OnRangeModeChanged();
  void ResetControls(const ModeRows& rows);
  void OnDefaults();
  void OnSave();
  bool ReadStream(StreamControls& s, EncodeStreamSettings* out, bool main_is_5mp);
  void Refuse(const char* key);
  QLineEdit* Edit(const char* id);

  Prompter& prompter_;
  bool opened_ = false;
  std::vector<EncodeCapability> records_;
  StreamControls main_{}, sub_{};
  QComboBox *profile_, *wdr_mode_, *antifog_, *private_data_, *enc_mode_, *noise_, *shutter_mode_;
  QLineEdit *wdr_value_, *antifog_value_, *shutter_speed_;
  QTimeEdit *wdr_start_, *wdr_end_;
  QLabel* shutter_unit_;
  QPushButton *defaults_, *save_;
  std::vector<std::pair<QLabel*, const char*>> labels_;
};

}  // namespace vdz
