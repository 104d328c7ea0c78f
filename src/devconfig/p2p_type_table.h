// How a device's P2P identifier tells its P2P type when the device does not report one.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace vdz {

struct P2pTypeTable {
  // Identifiers issued by the cloud IoT service end in its domain.
  std::string_view iot_domain_suffix;
  // Cloud product identifiers that mark an "@" identifier as type 8 rather than 10.
  std::array<std::string_view, 9> cloud_product_ids;

  int32_t iot_type;            // identifier contains the IoT domain
  int32_t qmws_type;           // 20 characters containing "qmws"
  int32_t cloud_product_type;  // contains "@" and a known product identifier
  int32_t cloud_other_type;    // contains "@" without a known product identifier
  int32_t hex32_type;          // exactly 32 characters
};

// The one place these values are kept.
extern const P2pTypeTable kP2pTypeTable;

// The type for a non-empty identifier whose device reported none; 0 when no rule fits.
int32_t InferP2pType(std::string_view p2p_id, const P2pTypeTable& table = kP2pTypeTable);

}  // namespace vdz
