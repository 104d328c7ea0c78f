// Another protocol's search (other makers' ONVIF cameras) that runs beside ours, from the
// same Start and Stop, and puts what it finds into the same registry.
#pragma once

#include <cstdint>

namespace vdz {

class SideSearch {
 public:
  virtual ~SideSearch() = default;
  // With our search, after the registry was cleared. adapter_key 0: every adapter.
  virtual void Start(uint32_t adapter_key) = 0;
  // Stops finding devices: request, wake, join. What was found may still be completed in the
  // registry afterwards, while Settling() says so.
  virtual void Stop() = 0;
  virtual bool Settling() const { return false; }
};

}  // namespace vdz
