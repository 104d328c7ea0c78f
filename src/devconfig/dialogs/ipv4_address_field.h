// An IPv4 address field of four octet boxes, as the IP dialog needs it: a dot moves to the
// next box, a pasted dotted address fills all four, backspace at a box's start goes back.
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>

#include "devconfig/ip_setting_rules.h"

class QLineEdit;

namespace vdz {

class Ipv4AddressField : public QWidget {
  Q_OBJECT

 public:
  explicit Ipv4AddressField(QWidget* parent = nullptr);

  // First octet most significant.
  void SetAddress(uint32_t host_order);
  // The four parts; a blank part reads as 0.
  Octets GetOctets() const;
  // "a.b.c.d" with blank parts as 0.
  QString Text() const;
  // Fills all four parts from a dotted address; false (and nothing changed) when the text is
  // not one.
  bool SetDottedText(const QString& text);
  void Clear();
  bool IsBlank() const;

  QLineEdit* Part(int index) const { return parts_[static_cast<std::size_t>(index)]; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int IndexOf(QObject* watched) const;
  void FocusPart(int index, bool select_all);

  std::array<QLineEdit*, 4> parts_{};
};

}  // namespace vdz
