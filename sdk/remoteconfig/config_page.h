// One settings document as a page an installer can use: the values the pages know, labelled in
// the page's language, grouped and edited with the control that suits each; the values they do
// not know in a collapsed "Advanced" table. Writing back changes only edited values, so every
// other byte the device sent goes back to it as it was.
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "document_values.h"

class QLabel;
class QVBoxLayout;

namespace vdz::remoteconfig {

using TextLookup = std::function<QString(const char* key)>;
class MotionGridWidget;
class ScheduleTimeline;

class ConfigPage : public QWidget {
  Q_OBJECT

 public:
  ConfigPage(QString name, int command, TextLookup text, std::string language, QWidget* parent);
  ~ConfigPage() override;

  int command() const { return command_; }
  const QString& name() const { return name_; }
  // Builds the page from the device's document (its code page); false when it is not XML.
  bool Load(const std::string& xml);
  void ShowMessage(const QString& text);
  // A shown-only row of the page (the network page's identity), set again on each read.
  void SetReadOnly(const QString& label, const QString& value);
  bool Changed() const;
  // The document with every edited value, or empty when a value is not valid: then *bad holds
  // that field's label and the field shows why.
  std::string Compose(QString* bad) const;
  // The device's document with one more edited value changed (the first field not in skip),
  // nullopt when none is left: how a refused document is traced to the value the device will
  // not take. *field gets that field for ShowRefused.
  std::optional<std::string> ComposeOne(const std::set<int>& skip, int* field) const;
  void ShowRefused(int field);
  // The device took this document (from Compose or ComposeOne): its values are the originals.
  void Accept(const std::string& xml);
  void SetPicture(const QImage& picture);
  MotionGridWidget* motion_grid() const { return grid_; }
  ScheduleTimeline* schedule() const { return schedule_; }

 private:
  struct Field;
  void Clear();
  void AddField(const DocumentValue& value);
  void AddAdvanced();
  Field* FindSibling(const DocumentValue& of, const char* attribute);
  QWidget* Group(const char* key);
  void ClearErrors() const;
  std::vector<std::pair<const DocumentValue*, std::string>> Edits(int only, QString* bad) const;

  QString name_;
  int command_;
  TextLookup text_;
  std::string language_;
  QLabel* message_;
  QVBoxLayout* body_;
  std::string document_;  // as the device sent it
  std::vector<DocumentValue> values_;
  std::vector<std::unique_ptr<Field>> fields_;
  std::vector<std::pair<std::string, QWidget*>> groups_;
  MotionGridWidget* grid_ = nullptr;
  ScheduleTimeline* schedule_ = nullptr;
  QImage picture_;
};

// The value rule of a value the pages do not know, taken from the value the device sent.
bool FieldValueAccepted(const std::string& original, const std::string& value);

}  // namespace vdz::remoteconfig
