#include "devconfig/p2p_type_table.h"

namespace vdz {
namespace {

constexpr bool AllProductIdsAreElevenCharacters(const std::array<std::string_view, 9>& ids) {
  for (std::string_view id : ids) {
    if (id.size() != 11)
      return false;
  }
  return true;
}

constexpr std::array<std::string_view, 9> kCloudProductIds = {
    "vdzipc01a7k", "vdzipc02b3m", "vdzipc03c9p", "vdznvr01d2q", "vdznvr02e5r",
    "vdzdvs01f8s", "vdzdec01g4t", "vdzaio01h6u", "vdzmck01j1w",
};
static_assert(AllProductIdsAreElevenCharacters(kCloudProductIds));

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

}  // namespace

const P2pTypeTable kP2pTypeTable = {
    ".iot.viduzaver-cloud.net", kCloudProductIds, 5, 9, 8, 10, 1,
};

int32_t InferP2pType(std::string_view p2p_id, const P2pTypeTable& table) {
  if (p2p_id.empty())
    return 0;
  if (!table.iot_domain_suffix.empty() && Contains(p2p_id, table.iot_domain_suffix)) {
    return table.iot_type;
  }
  if (Contains(p2p_id, "qmws") && p2p_id.size() == 20)
    return table.qmws_type;
  if (Contains(p2p_id, "@")) {
    for (std::string_view id : table.cloud_product_ids) {
      if (!id.empty() && Contains(p2p_id, id))
        return table.cloud_product_type;
    }
    return table.cloud_other_type;
  }
  if (p2p_id.size() == 32)
    return table.hex32_type;
  return 0;
}

}  // namespace vdz
