// Narrowing the device list to the rows where any column holds a text. Hidden rows keep
// their checks and data; only what is shown changes.
#pragma once

#include <QString>

namespace vdz {

class CReportCtrl;

// Shows the rows where some column contains text (case-insensitive), hides the others; an
// empty text shows every row. Returns the number of rows shown.
int ApplyRowFilter(CReportCtrl& list, const QString& text);

// Sets the check box of every shown row.
void CheckShownRows(CReportCtrl& list, bool checked);

}  // namespace vdz
