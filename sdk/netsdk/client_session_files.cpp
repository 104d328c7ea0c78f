// The file transfers of one login: begin, data within the window, acknowledgements, end.
// Everything runs on the I/O thread; each transfer holds a descriptor and at most its
// window's worth of queued frames, never the file: its chunks go from the page cache to the
// socket without passing through our memory.
#include <errno.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>

#include "client_session.h"
#include "protocol/file_messages.h"
#include "protocol/protocol_numbers.h"
#include "qm_netsdk.h"

namespace vdz::netsdk {

namespace {

using sdkproto::FileKind;
using sdkproto::FrameType;

// Bytes queued for the kernel beyond which no more chunks are queued: with the window this
// bounds what a session has in flight whatever its number of transfers.
constexpr std::size_t kOutHighWater = 256 * 1024;

}  // namespace

Transfer* ClientSession::FindTransfer(std::uint32_t id) {
  for (Transfer& t : transfers_) {
    if (t.id == id)
      return &t;
  }
  return nullptr;
}

void ClientSession::StartTransfer(TransferRequest request, Millis now) {
  PendingCallPtr call = request.call;
  if (state_ != State::kUp) {
    call->Complete(QM_NETSDK_ERR_NOT_CONNECTED);
    return;
  }
  // One image at a time per device: a second one would only be refused by it.
  if (request.kind == FileKind::kFirmware &&
      std::any_of(transfers_.begin(), transfers_.end(),
                  [](const Transfer& t) { return t.request.kind == FileKind::kFirmware; })) {
    call->Complete(QM_NETSDK_ERR_BUSY);
    return;
  }
  Transfer t;
  t.id = next_transfer_id_++;
  t.begin_sequence = next_sequence_++;
  t.size = sdkproto::IsUploadKind(request.kind) ? request.size : 0;
  t.last_progress = now;
  sdkproto::FileBegin begin;
  begin.id = t.id;
  begin.kind = request.kind;
  begin.size = t.size;
  begin.name = request.name;
  sdkproto::AppendFileBegin(out_.Tail(), t.begin_sequence, begin);
  const bool blocking = request.blocking;
  if (request.kind == FileKind::kFirmware)
    host_.SetUpgradeProgress(handle_, 0);
  t.request = std::move(request);
  if (sdkproto::IsUploadKind(t.request.kind))
    t.source = std::make_shared<const UniqueFd>(std::move(t.request.fd));
  transfers_.push_back(std::move(t));
  if (!blocking) {
    // Handed over: from here the transfer ends with a status event.
    transfers_.back().request.call.reset();
    call->Complete(QM_NETSDK_OK);
  }
  Send(now);
}

bool ClientSession::OnBeginAnswer(Transfer& t, const sdkproto::ResultMessage& answer, Millis now) {
  const std::uint32_t id = t.id;
  if (answer.result != sdkproto::kFileOk) {
    FinishTransfer(id, QM_NETSDK_ERR_DEVICE, answer.result, true, false, now);
    return fd_ >= 0;
  }
  t.phase = Transfer::Phase::kData;
  t.last_progress = now;
  if (!sdkproto::IsUploadKind(t.request.kind)) {
    std::uint64_t size = 0;
    const char* first = answer.text.data();
    const char* last = first + answer.text.size();
    const auto parsed = std::from_chars(first, last, size);
    if (parsed.ec != std::errc() || parsed.ptr != last) {
      Lost("file size unreadable", 0, now);
      return false;
    }
    if (size > t.request.max_size) {
      // Announcing more than such a file can be is refused before a byte is written.
      FinishTransfer(id, QM_NETSDK_ERR_PROTOCOL, sdkproto::kFileTooLarge, true, true, now);
      return fd_ >= 0;
    }
    t.size = size;
    return fd_ >= 0;
  }
  Send(now);
  return fd_ >= 0;
}

bool ClientSession::OnFileFrame(const sdkproto::FrameHeader& header, std::string_view payload,
                                Millis now) {
  switch (header.type) {
    case FrameType::kFileAck: {
      sdkproto::FileAck ack;
      const bool parsed = sdkproto::ParseFileAck(payload, ack);
      Transfer* t = parsed ? FindTransfer(ack.id) : nullptr;
      // Frames still on their way for a transfer we ended are no fault of the device.
      if (parsed && t == nullptr && ack.id != 0 && ack.id < next_transfer_id_)
        return true;
      // An acknowledgement of bytes never sent, or for no transfer, is a broken peer.
      if (t == nullptr || !sdkproto::IsUploadKind(t->request.kind) ||
          t->phase != Transfer::Phase::kData || ack.received < t->acked ||
          ack.received > t->queued) {
        Lost("bad file acknowledgement", 0, now);
        return false;
      }
      if (ack.received > t->acked)
        t->last_progress = now;
      t->acked = ack.received;
      if (t->request.kind == FileKind::kFirmware && t->size > 0) {
        const int percent = static_cast<int>(t->acked * 100 / t->size);
        if (percent != t->last_percent) {
          t->last_percent = percent;
          host_.SetUpgradeProgress(handle_, percent);
          if (announced_) {
            const int gen = static_cast<int>(generation_);
            host_.EmitStatus(handle_, proto::kEventUpgradeSending, std::to_string(percent));
            if (fd_ < 0 || gen != static_cast<int>(generation_))
              return false;
          }
        }
      }
      Send(now);
      return fd_ >= 0;
    }
    case FrameType::kFileData: {
      sdkproto::FileData data;
      const bool parsed = sdkproto::ParseFileData(payload, data);
      Transfer* t = parsed ? FindTransfer(data.id) : nullptr;
      if (parsed && t == nullptr && data.id != 0 && data.id < next_transfer_id_)
        return true;
      if (t == nullptr || sdkproto::IsUploadKind(t->request.kind) ||
          t->phase != Transfer::Phase::kData || data.offset != t->received ||
          data.data.size() > t->size - t->received) {
        Lost("bad file data", 0, now);
        return false;
      }
      const ssize_t written = ::pwrite(t->request.fd.get(), data.data.data(), data.data.size(),
                                       static_cast<off_t>(t->received));
      if (written != static_cast<ssize_t>(data.data.size())) {
        FinishTransfer(t->id, QM_NETSDK_ERR_RESOURCE, sdkproto::kFileAborted, true, true, now);
        return fd_ >= 0;
      }
      t->received += data.data.size();
      t->last_progress = now;
      sdkproto::AppendFileAck(out_.Tail(), next_sequence_++, {t->id, t->received});
      Send(now);
      return fd_ >= 0;
    }
    case FrameType::kFileEnd: {
      sdkproto::FileEnd end;
      if (!sdkproto::ParseFileEnd(payload, end)) {
        Lost("bad file end", 0, now);
        return false;
      }
      Transfer* t = FindTransfer(end.id);
      if (t == nullptr)
        return true;  // one we gave up already
      bool ok = end.result == sdkproto::kFileOk;
      if (ok && sdkproto::IsUploadKind(t->request.kind))
        ok = t->phase == Transfer::Phase::kEnd;
      if (ok && !sdkproto::IsUploadKind(t->request.kind))
        ok = t->phase == Transfer::Phase::kData && t->received == t->size;
      FinishTransfer(end.id, ok ? QM_NETSDK_OK : QM_NETSDK_ERR_DEVICE,
                     ok ? sdkproto::kFileOk
                        : (end.result != sdkproto::kFileOk ? end.result : sdkproto::kFileAborted),
                     true, false, now);
      return fd_ >= 0;
    }
    default:
      break;
  }
  Lost("unexpected frame", QM_NETSDK_ERR_PROTOCOL, now);
  return false;
}

void ClientSession::PumpTransfers(Millis now) {
  constexpr std::uint64_t kWindow = sdkproto::kFileWindowChunks * sdkproto::kFileChunkSize;
  for (std::size_t i = 0; i < transfers_.size() && fd_ >= 0; ++i) {
    Transfer& t = transfers_[i];
    if (t.phase != Transfer::Phase::kData || !sdkproto::IsUploadKind(t.request.kind))
      continue;
    while (t.queued < t.size && t.queued - t.acked < kWindow && out_.size() < kOutHighWater) {
      const std::size_t n = static_cast<std::size_t>(
          std::min<std::uint64_t>(sdkproto::kFileChunkSize, t.size - t.queued));
      sdkproto::AppendFileDataHeader(out_.Tail(), next_sequence_++, t.id, t.queued, n);
      out_.AppendFile(t.source, static_cast<off_t>(t.queued), n);
      t.queued += n;
    }
    if (t.queued == t.size && t.acked == t.size) {
      sdkproto::AppendFileEnd(out_.Tail(), next_sequence_++, {t.id, sdkproto::kFileOk, {}});
      t.phase = Transfer::Phase::kEnd;
      t.last_progress = now;
    }
  }
}

void ClientSession::FinishTransfer(std::uint32_t id, int result, int device_result, bool emit,
                                   bool tell_device, Millis now) {
  auto it = std::find_if(transfers_.begin(), transfers_.end(),
                         [id](const Transfer& t) { return t.id == id; });
  if (it == transfers_.end())
    return;
  Transfer t = std::move(*it);
  transfers_.erase(it);
  if (transfers_.empty())
    transfers_.shrink_to_fit();
  t.request.fd.Reset();
  if (!sdkproto::IsUploadKind(t.request.kind) && !t.request.part_path.empty()) {
    if (result == QM_NETSDK_OK) {
      if (::rename(t.request.part_path.c_str(), t.request.final_path.c_str()) != 0)
        result = QM_NETSDK_ERR_RESOURCE;
    }
    if (result != QM_NETSDK_OK)
      ::unlink(t.request.part_path.c_str());
  }
  if (tell_device && fd_ >= 0) {
    sdkproto::AppendFileEnd(out_.Tail(), next_sequence_++,
                            {t.id, sdkproto::kFileAborted, "abandoned"});
    Send(now);
  }
  if (emit && announced_) {
    if (t.request.kind == FileKind::kFirmware && result != QM_NETSDK_OK) {
      host_.EmitStatus(handle_,
                       device_result == sdkproto::kFileImageRefused
                           ? proto::kEventUpgradeWrongImage
                           : proto::kEventUpgradeInterrupted,
                       "");
    } else if (t.request.kind == FileKind::kAppFile || t.request.kind == FileKind::kMp3File) {
      host_.EmitStatus(
          handle_,
          result == QM_NETSDK_OK ? proto::kEventFileUploadDone : proto::kEventFileUploadFailed, "");
    }
  }
  if (t.request.call)
    t.request.call->Complete(result);
}

void ClientSession::FailTransfers(bool emit, Millis now) {
  while (!transfers_.empty())
    FinishTransfer(transfers_.front().id, QM_NETSDK_ERR_NOT_CONNECTED, sdkproto::kFileAborted, emit,
                   false, now);
}

void ClientSession::CheckStalls(Millis now) {
  const Millis limit = host_.timing().dead_peer_ms;
  std::vector<std::uint32_t> stalled;
  for (const Transfer& t : transfers_) {
    if (now - t.last_progress >= limit)
      stalled.push_back(t.id);
  }
  // A device that keeps the line alive but stops taking the file only loses that file.
  for (const std::uint32_t id : stalled) {
    if (fd_ < 0)
      return;
    FinishTransfer(id, QM_NETSDK_ERR_TIMEOUT, sdkproto::kFileAborted, true, true, now);
  }
}

// The device tells how far it has written the image; GetUpgradeProgress reports that next.
void ClientSession::NoteWritingProgress(std::string_view text) {
  int percent = 0;
  const auto parsed = std::from_chars(text.data(), text.data() + text.size(), percent);
  if (parsed.ec == std::errc() && percent >= 0)
    host_.SetUpgradeProgress(handle_, percent);
}

}  // namespace vdz::netsdk
