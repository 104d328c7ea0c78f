// One settings document shown as labelled fields: every element that holds text and every
// attribute becomes a field, checked like the value it replaces.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>

class QFormLayout;
class QLabel;
class QLineEdit;

namespace tinyxml2 {
class XMLDocument;
}

namespace vdz::remoteconfig {

using TextLookup = std::function<QString(const char* key)>;

class ConfigPage : public QWidget {
  Q_OBJECT

 public:
  ConfigPage(QString name, int command, TextLookup text, QWidget* parent);
  ~ConfigPage() override;

  int command() const { return command_; }
  const QString& name() const { return name_; }
  // Builds the fields from the device's document; false when it is not XML.
  bool Load(const std::string& xml);
  void ShowMessage(const QString& text);
  void AddReadOnly(const QString& label, const QString& value);
  bool Changed() const;
  // The document with the edited values, or empty with *bad set to the first bad field.
  std::string Compose(QString* bad) const;
  // After the device took the document, its values are the new originals.
  void Accept();

 private:
  struct Field;
  QString name_;
  int command_;
  TextLookup text_;
  QFormLayout* form_;
  QLabel* message_;
  std::unique_ptr<tinyxml2::XMLDocument> doc_;
  std::vector<Field> fields_;
};

// The value rule a field follows, taken from the value the device sent.
bool FieldValueAccepted(const std::string& original, const std::string& value);

}  // namespace vdz::remoteconfig
