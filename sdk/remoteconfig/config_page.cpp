#include "config_page.h"

#include <tinyxml2.h>

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QVBoxLayout>
#include <vector>

#include "devconfig/setting_validators.h"
#include "devconfig/xml_printer.h"
#include "shell/text_codec.h"

namespace vdz::remoteconfig {

struct ConfigPage::Field {
  tinyxml2::XMLElement* element = nullptr;
  std::string attribute;  // empty: the element's text
  std::string original;
  QLineEdit* edit = nullptr;
};

namespace {

bool LooksDecimal(const std::string& s) {
  if (s.empty() || s.size() > 10)
    return false;
  size_t i = s[0] == '-' ? 1 : 0;
  if (i == s.size())
    return false;
  for (; i < s.size(); ++i)
    if (s[i] < '0' || s[i] > '9')
      return false;
  return true;
}

bool LooksIpv4(const std::string& s) {
  int dots = 0;
  for (char c : s) {
    if (c == '.')
      ++dots;
    else if (c < '0' || c > '9')
      return false;
  }
  return dots == 3;
}

std::string FieldLabel(const tinyxml2::XMLElement* element, const std::string& attribute) {
  std::string label = element->Name();
  if (const auto* parent = element->Parent() ? element->Parent()->ToElement() : nullptr;
      parent && parent->Parent() && parent->Parent()->ToElement())
    label = std::string(parent->Name()) + " / " + label;
  if (!attribute.empty())
    label += " @" + attribute;
  return label;
}

}  // namespace

bool FieldValueAccepted(const std::string& original, const std::string& value) {
  if (value.size() > 255)
    return false;
  if (LooksIpv4(original))
    return Ipv4AddressAccepted(value);
  if (LooksDecimal(original))
    return LooksDecimal(value);
  return true;  // the printer escapes what XML needs escaped
}

ConfigPage::ConfigPage(QString name, int command, TextLookup text, QWidget* parent)
    : QWidget(parent), name_(std::move(name)), command_(command), text_(std::move(text)) {
  setObjectName(name_);
  auto* outer = new QVBoxLayout(this);
  message_ = new QLabel(this);
  message_->setObjectName(QStringLiteral("message"));
  message_->setWordWrap(true);
  outer->addWidget(message_);
  auto* scroll = new QScrollArea(this);
  scroll->setWidgetResizable(true);
  auto* body = new QWidget(scroll);
  form_ = new QFormLayout(body);
  scroll->setWidget(body);
  outer->addWidget(scroll, 1);
}

ConfigPage::~ConfigPage() = default;

void ConfigPage::ShowMessage(const QString& text) {
  message_->setText(text);
}

void ConfigPage::AddReadOnly(const QString& label, const QString& value) {
  auto* edit = new QLineEdit(value, this);
  edit->setReadOnly(true);
  edit->setObjectName(label);
  form_->addRow(label, edit);
}

bool ConfigPage::Load(const std::string& xml) {
  while (form_->rowCount() > 0)
    form_->removeRow(0);
  fields_.clear();
  doc_ = std::make_unique<tinyxml2::XMLDocument>();
  const std::string utf8 = AnsiToUtf8(xml);
  if (doc_->Parse(utf8.c_str(), utf8.size()) != tinyxml2::XML_SUCCESS || !doc_->RootElement())
    return false;
  std::vector<tinyxml2::XMLElement*> stack{doc_->RootElement()};
  std::vector<tinyxml2::XMLElement*> order;
  while (!stack.empty()) {  // document order, depth first
    tinyxml2::XMLElement* e = stack.back();
    stack.pop_back();
    order.push_back(e);
    std::vector<tinyxml2::XMLElement*> children;
    for (auto* c = e->FirstChildElement(); c; c = c->NextSiblingElement())
      children.push_back(c);
    stack.insert(stack.end(), children.rbegin(), children.rend());
  }
  for (tinyxml2::XMLElement* e : order) {
    for (const auto* a = e->FirstAttribute(); a; a = a->Next())
      fields_.push_back({e, a->Name(), a->Value(), nullptr});
    // An empty element that carries attributes is a record, not a value to type in.
    const bool record = e->FirstAttribute() != nullptr && e->GetText() == nullptr;
    if (!e->FirstChildElement() && e != doc_->RootElement() && !record)
      fields_.push_back({e, {}, e->GetText() ? e->GetText() : "", nullptr});
  }
  for (Field& f : fields_) {
    const QString label = QString::fromStdString(FieldLabel(f.element, f.attribute));
    f.edit = new QLineEdit(QString::fromStdString(f.original), this);
    f.edit->setObjectName(label);
    QLineEdit* edit = f.edit;
    const std::string original = f.original;
    connect(edit, &QLineEdit::textChanged, edit, [edit, original](const QString& now) {
      edit->setStyleSheet(FieldValueAccepted(original, now.toStdString())
                              ? QString()
                              : QStringLiteral("background: #ffd0d0"));
    });
    form_->addRow(label, edit);
  }
  return true;
}

bool ConfigPage::Changed() const {
  for (const Field& f : fields_)
    if (f.edit->text().toStdString() != f.original)
      return true;
  return false;
}

std::string ConfigPage::Compose(QString* bad) const {
  for (const Field& f : fields_) {
    const std::string value = f.edit->text().toStdString();
    if (!FieldValueAccepted(f.original, value)) {
      if (bad)
        *bad = f.edit->objectName();
      return {};
    }
    if (f.attribute.empty())
      f.element->SetText(value.c_str());
    else
      f.element->SetAttribute(f.attribute.c_str(), value.c_str());
  }
  return Utf8ToAnsi(PrintXml(*doc_));
}

void ConfigPage::Accept() {
  for (Field& f : fields_)
    f.original = f.edit->text().toStdString();
}

}  // namespace vdz::remoteconfig
