#include "devconfig/dialogs/ipv4_address_field.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

namespace vdz {

Ipv4AddressField::Ipv4AddressField(QWidget* parent) : QWidget(parent) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* validator = new QRegularExpressionValidator(
      QRegularExpression(QStringLiteral("(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])?")), this);
  for (std::size_t i = 0; i < parts_.size(); ++i) {
    auto* part = new QLineEdit(this);
    part->setObjectName(QStringLiteral("octet%1").arg(i));
    part->setValidator(validator);
    part->setMaxLength(3);
    part->setAlignment(Qt::AlignCenter);
    part->setFixedWidth(part->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 8);
    part->installEventFilter(this);
    layout->addWidget(part);
    if (i + 1 < parts_.size())
      layout->addWidget(new QLabel(QStringLiteral("."), this));
    parts_[i] = part;
    const int index = static_cast<int>(i);
    // Three digits fill a part; typing goes on in the next, as in the system's own control.
    connect(part, &QLineEdit::textEdited, this, [this, index](const QString& text) {
      if (text.size() == 3 && index < 3 && Part(index)->cursorPosition() == 3)
        FocusPart(index + 1, true);
    });
  }
  layout->addStretch(1);
  setFocusProxy(parts_[0]);
}

void Ipv4AddressField::SetAddress(uint32_t host_order) {
  const Octets octets = OctetsFromHostOrder(host_order);
  for (std::size_t i = 0; i < parts_.size(); ++i)
    parts_[i]->setText(QString::number(octets[i]));
}

Octets Ipv4AddressField::GetOctets() const {
  Octets octets{};
  for (std::size_t i = 0; i < parts_.size(); ++i)
    octets[i] = parts_[i]->text().toInt();  // blank reads as 0
  return octets;
}

QString Ipv4AddressField::Text() const {
  const Octets o = GetOctets();
  return QStringLiteral("%1.%2.%3.%4").arg(o[0]).arg(o[1]).arg(o[2]).arg(o[3]);
}

bool Ipv4AddressField::SetDottedText(const QString& text) {
  const auto address = ParseDottedQuad(text.trimmed().toStdString());
  if (!address)
    return false;
  SetAddress(*address);
  return true;
}

void Ipv4AddressField::Clear() {
  for (QLineEdit* part : parts_)
    part->clear();
}

bool Ipv4AddressField::IsBlank() const {
  for (QLineEdit* part : parts_) {
    if (!part->text().isEmpty())
      return false;
  }
  return true;
}

int Ipv4AddressField::IndexOf(QObject* watched) const {
  for (std::size_t i = 0; i < parts_.size(); ++i) {
    if (parts_[i] == watched)
      return static_cast<int>(i);
  }
  return -1;
}

void Ipv4AddressField::FocusPart(int index, bool select_all) {
  QLineEdit* part = Part(index);
  part->setFocus(Qt::OtherFocusReason);
  if (select_all)
    part->selectAll();
  else
    part->setCursorPosition(static_cast<int>(part->text().size()));
}

bool Ipv4AddressField::eventFilter(QObject* watched, QEvent* event) {
  const int index = IndexOf(watched);
  if (index < 0 || event->type() != QEvent::KeyPress)
    return QWidget::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  QLineEdit* part = Part(index);

  if (key->matches(QKeySequence::Paste)) {
    const QString text = QApplication::clipboard()->text();
    if (SetDottedText(text)) {
      FocusPart(3, false);
      return true;
    }
    return false;  // digits paste into the part as usual
  }
  switch (key->key()) {
    case Qt::Key_Period:
    case Qt::Key_Comma:
      if (index < 3 && !part->text().isEmpty())
        FocusPart(index + 1, true);
      return true;  // a dot is never part of an octet
    case Qt::Key_Backspace:
      if (index > 0 && part->cursorPosition() == 0 && !part->hasSelectedText()) {
        FocusPart(index - 1, false);
        return true;
      }
      return false;
    case Qt::Key_Left:
      if (index > 0 && part->cursorPosition() == 0 && key->modifiers() == Qt::NoModifier) {
        FocusPart(index - 1, false);
        return true;
      }
      return false;
    case Qt::Key_Right:
      if (index < 3 && part->cursorPosition() == part->text().size() &&
          key->modifiers() == Qt::NoModifier) {
        Part(index + 1)->setFocus(Qt::OtherFocusReason);
        Part(index + 1)->setCursorPosition(0);
        return true;
      }
      return false;
    default:
      return false;
  }
}

}  // namespace vdz
