#include "devops/key_parameter_requester.h"

#include <memory>
#include <string>

#include "shell/bounded_text.h"

namespace vdz {

KeyParameterRequester::KeyParameterRequester(TerminalService& service, DeviceListPort& list,
                                             SdkCallPool* pool)
    : service_(service), list_(list), pool_(pool), tag_(pool != nullptr ? pool->NewTag() : 0) {}

void KeyParameterRequester::Request(DeviceRow& row) {
  const uint64_t ticket = ++next_ticket_;
  in_flight_[ticket] = &row;
  if (pool_ == nullptr) {
    TerminalKeyParameters keys;
    const int rc = service_.RequestKeyParameters(row.record, &keys);
    Apply(ticket, rc, keys);
    return;
  }
  // Only the two texts the request carries are copied here: the owner's thread lists a
  // thousand rows in one go and the whole record is large.
  std::string ip(FieldText(row.record.Lan.IPAddress));
  std::string serial(FieldText(row.record.SerialNumber));
  auto keys = std::make_shared<TerminalKeyParameters>();
  TerminalService* service = &service_;
  pool_->Submit(
      [service, ip = std::move(ip), serial = std::move(serial), keys] {
        DeviceRecord record = ZeroDeviceRecord();
        CopyBounded(record.Lan.IPAddress, ip);
        CopyBounded(record.SerialNumber, serial);
        return service->RequestKeyParameters(record, keys.get());
      },
      [this, ticket, keys](int rc) { Apply(ticket, rc, *keys); }, tag_);
}

void KeyParameterRequester::Forget() {
  in_flight_.clear();
  // A silent device's request holds a pool thread for its whole time bound: those not yet
  // started are not worth it once their rows are gone.
  if (pool_ != nullptr) {
    pool_->Drop(tag_);
    tag_ = pool_->NewTag();
  }
}

void KeyParameterRequester::Apply(uint64_t ticket, int rc, const TerminalKeyParameters& keys) {
  auto it = in_flight_.find(ticket);
  if (it == in_flight_.end())
    return;
  DeviceRow* row = it->second;
  in_flight_.erase(it);
  // Failures stay silent: a device without the service simply shows no name.
  if (rc != kTerminalOk)
    return;
  const int position = list_.PositionOf(*row);
  if (position >= 0)
    ApplyKeyParameters(list_, position, keys);
}

void ApplyKeyParameters(DeviceListPort& list, int position, const TerminalKeyParameters& keys) {
  if (!keys.devname.empty())
    list.SetTerminalText(position, kDeviceNameColumn, keys.devname);
  if (!keys.deamontime.empty())
    list.SetTerminalText(position, kModelColumn, keys.deamontime);
}

}  // namespace vdz
