// What the settings dialogs share: texts from the language table and the OK/Cancel row.
#pragma once

#include <QString>

class QDialog;
class QGridLayout;
class QPushButton;

namespace vdz {

// Text of a language key as a QString (empty for an unknown key).
QString DialogText(const char* key);

struct OkCancelButtons {
  QPushButton* ok = nullptr;
  QPushButton* cancel = nullptr;
};

// The right-aligned OK (id 1, the default button) and Cancel (id 2, rejects) row, across both
// columns of grid at row. The caller connects OK.
OkCancelButtons AddOkCancelRow(QDialog* dialog, QGridLayout* grid, int row);

// Captions of the row from the language table.
void SetOkCancelTexts(const OkCancelButtons& buttons);

}  // namespace vdz
