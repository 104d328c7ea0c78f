#include "discovery/not_supported.h"

#include "shell/language_keys.h"
#include "shell/language_table.h"

namespace vdz {

void SkipAsNotSupported(DeviceListPort& list, int position, int batch) {
  list.SetStatusText(position, LookupText(keys::NOT_SUPPORTED_BY_DEVICE));
  list.NoteBatchDevice(position, BatchDeviceOutcome::kSkipped, batch);
}

}  // namespace vdz
