#include "rtsp_site.h"

#include <gst/gst.h>
#include <gst/rtsp-server/rtsp-server.h>
#include <gst/video/video.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <thread>

#include "clock_strip.h"

namespace vdz::devsim {

namespace {

constexpr const char* kRole = "viewer";

int64_t WallMs() {
  return g_get_real_time() / 1000;
}

struct StampContext {
  std::string label;
  int width = 0;
  int height = 0;
};

GstPadProbeReturn Stamp(GstPad*, GstPadProbeInfo* info, gpointer data) {
  auto* ctx = static_cast<StampContext*>(data);
  GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
  if (buffer == nullptr)
    return GST_PAD_PROBE_OK;
  buffer = gst_buffer_make_writable(buffer);
  GST_PAD_PROBE_INFO_DATA(info) = buffer;
  GstVideoInfo vi;
  gst_video_info_set_format(&vi, GST_VIDEO_FORMAT_I420, static_cast<guint>(ctx->width),
                            static_cast<guint>(ctx->height));
  GstMapInfo map;
  if (!gst_buffer_map(buffer, &map, GST_MAP_WRITE))
    return GST_PAD_PROBE_OK;
  if (map.size >= GST_VIDEO_INFO_SIZE(&vi)) {
    I420Picture p;
    p.y = map.data + GST_VIDEO_INFO_PLANE_OFFSET(&vi, 0);
    p.u = map.data + GST_VIDEO_INFO_PLANE_OFFSET(&vi, 1);
    p.v = map.data + GST_VIDEO_INFO_PLANE_OFFSET(&vi, 2);
    p.y_stride = GST_VIDEO_INFO_PLANE_STRIDE(&vi, 0);
    p.uv_stride = GST_VIDEO_INFO_PLANE_STRIDE(&vi, 1);
    p.width = ctx->width;
    p.height = ctx->height;
    DrawCameraOverlay(p, WallMs(), ctx->label);
  }
  gst_buffer_unmap(buffer, &map);
  return GST_PAD_PROBE_OK;
}

std::string LaunchLine(int width, int height, int rate) {
  const int kbps = std::max(500, width * height / 300);
  return "( videotestsrc is-live=true pattern=smpte horizontal-speed=2 ! video/x-raw,width=" +
         std::to_string(width) + ",height=" + std::to_string(height) +
         ",framerate=" + std::to_string(rate) +
         "/1 ! videoconvert ! video/x-raw,format=I420 ! identity name=stamp ! "
         "x264enc tune=zerolatency speed-preset=ultrafast threads=1 sliced-threads=false "
         "key-int-max=" +
         std::to_string(rate * 2) + " bitrate=" + std::to_string(kbps) +
         " ! video/x-h264,profile=constrained-baseline ! rtph264pay name=pay0 pt=96 "
         "config-interval=-1 "
         "audiotestsrc is-live=true wave=sine freq=440 volume=0.2 samplesperbuffer=320 ! "
         "audio/x-raw,rate=8000,channels=1 ! alawenc ! rtppcmapay name=pay1 pt=8 )";
}

}  // namespace

struct Camera {
  GstRTSPServer* server = nullptr;
  guint source = 0;
};

struct RtspSite::Impl {
  RtspStreamSizes sizes;
  GMainContext* context = nullptr;
  GMainLoop* loop = nullptr;
  std::thread thread;
  std::map<std::string, Camera> cameras;  // loop thread only
  std::atomic<int> active{0};
  std::atomic<int> count{0};
  std::atomic<int64_t> made{0};

  // Runs `work` on the loop thread and waits for it.
  void Call(std::function<void()> work) {
    std::promise<void> done;
    auto* job = new std::pair<std::function<void()>, std::promise<void>*>(std::move(work), &done);
    g_main_context_invoke_full(
        context, G_PRIORITY_DEFAULT,
        [](gpointer data) -> gboolean {
          auto* j = static_cast<std::pair<std::function<void()>, std::promise<void>*>*>(data);
          j->first();
          j->second->set_value();
          return G_SOURCE_REMOVE;
        },
        job,
        [](gpointer data) {
          delete static_cast<std::pair<std::function<void()>, std::promise<void>*>*>(data);
        });
    done.get_future().wait();
  }

  static void OnUnprepared(GstRTSPMedia*, gpointer data) { static_cast<Impl*>(data)->active--; }
  static void OnConfigure(GstRTSPMediaFactory*, GstRTSPMedia* media, gpointer data) {
    // The probe owns its copy: a media may outlive the camera's factory by a moment.
    auto* stamp = new StampContext(*static_cast<StampContext*>(data));
    GstElement* bin = gst_rtsp_media_get_element(media);
    if (GstElement* identity = gst_bin_get_by_name(GST_BIN(bin), "stamp")) {
      GstPad* pad = gst_element_get_static_pad(identity, "src");
      gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, Stamp, stamp,
                        [](gpointer d) { delete static_cast<StampContext*>(d); });
      stamp = nullptr;
      gst_object_unref(pad);
      gst_object_unref(identity);
    }
    gst_object_unref(bin);
    delete stamp;
  }

  void Remove(const std::string& key) {
    auto it = cameras.find(key);
    if (it == cameras.end())
      return;
    Camera& c = it->second;
    if (c.source != 0) {
      if (GSource* s = g_main_context_find_source_by_id(context, c.source))
        g_source_destroy(s);
    }
    // Clients still connected are closed, and their media with them.
    GstRTSPSessionPool* pool = gst_rtsp_server_get_session_pool(c.server);
    gst_rtsp_server_client_filter(
        c.server, [](GstRTSPServer*, GstRTSPClient*, gpointer) { return GST_RTSP_FILTER_REMOVE; },
        nullptr);
    gst_object_unref(pool);
    g_object_unref(c.server);
    cameras.erase(it);
    count = static_cast<int>(cameras.size());
  }

  bool Add(const RtspCameraConfig& config, std::string* error) {
    Remove(config.key);
    Camera c;
    c.server = gst_rtsp_server_new();
    gst_rtsp_server_set_address(c.server, config.address.c_str());
    gst_rtsp_server_set_service(c.server, std::to_string(config.port).c_str());

    GstRTSPAuth* auth = gst_rtsp_auth_new();
    for (const auto& [user, password] : config.accounts) {
      GstRTSPToken* token =
          gst_rtsp_token_new(GST_RTSP_TOKEN_MEDIA_FACTORY_ROLE, G_TYPE_STRING, kRole, NULL);
      gchar* basic = gst_rtsp_auth_make_basic(user.c_str(), password.c_str());
      gst_rtsp_auth_add_basic(auth, basic, token);
      g_free(basic);
      gst_rtsp_token_unref(token);
    }
    gst_rtsp_server_set_auth(c.server, auth);
    g_object_unref(auth);

    GstRTSPMountPoints* mounts = gst_rtsp_server_get_mount_points(c.server);
    const int widths[2] = {config.main_width > 0 ? config.main_width : sizes.main_width,
                           config.sub_width > 0 ? config.sub_width : sizes.sub_width};
    const int heights[2] = {config.main_height > 0 ? config.main_height : sizes.main_height,
                            config.sub_height > 0 ? config.sub_height : sizes.sub_height};
    for (int stream = 0; stream < 2; ++stream) {
      GstRTSPMediaFactory* factory = gst_rtsp_media_factory_new();
      gst_rtsp_media_factory_set_launch(
          factory, LaunchLine(widths[stream], heights[stream], sizes.frame_rate).c_str());
      // A pipeline per viewer, made on its request and ended with its session: a shared
      // one that is still being torn down answers a viewer arriving just then with 503.
      gst_rtsp_media_factory_set_shared(factory, FALSE);
      gst_rtsp_media_factory_add_role(factory, kRole, GST_RTSP_PERM_MEDIA_FACTORY_ACCESS,
                                      G_TYPE_BOOLEAN, TRUE, GST_RTSP_PERM_MEDIA_FACTORY_CONSTRUCT,
                                      G_TYPE_BOOLEAN, TRUE, NULL);
      auto* stamp = new StampContext{config.label, widths[stream], heights[stream]};
      g_signal_connect_data(
          factory, "media-configure", G_CALLBACK(OnConfigure), stamp,
          [](gpointer d, GClosure*) { delete static_cast<StampContext*>(d); }, GConnectFlags{});
      g_signal_connect(factory, "media-constructed",
                       G_CALLBACK(+[](GstRTSPMediaFactory*, GstRTSPMedia* media, gpointer data) {
                         auto* self = static_cast<Impl*>(data);
                         self->active++;
                         self->made++;
                         g_signal_connect(media, "unprepared", G_CALLBACK(OnUnprepared), self);
                       }),
                       this);
      const std::string path = "/live/" + std::to_string(stream);
      gst_rtsp_mount_points_add_factory(mounts, path.c_str(), factory);
    }
    g_object_unref(mounts);

    GError* failure = nullptr;
    GSource* source = gst_rtsp_server_create_source(c.server, nullptr, &failure);
    if (source == nullptr) {
      *error = "RTSP server on " + config.address + ":" + std::to_string(config.port) + ": " +
               (failure != nullptr ? failure->message : "cannot listen");
      if (failure != nullptr)
        g_error_free(failure);
      g_object_unref(c.server);
      return false;
    }
    c.source = g_source_attach(source, context);
    g_source_unref(source);
    cameras[config.key] = std::move(c);
    count = static_cast<int>(cameras.size());
    return true;
  }
};

RtspSite::RtspSite(RtspStreamSizes sizes) : impl_(std::make_unique<Impl>()) {
  gst_init(nullptr, nullptr);
  impl_->sizes = sizes;
  impl_->context = g_main_context_new();
  impl_->loop = g_main_loop_new(impl_->context, FALSE);
  impl_->thread = std::thread([impl = impl_.get()] {
    g_main_context_push_thread_default(impl->context);
    g_main_loop_run(impl->loop);
    g_main_context_pop_thread_default(impl->context);
  });
}

RtspSite::~RtspSite() {
  RemoveAll();
  g_main_loop_quit(impl_->loop);
  impl_->thread.join();
  g_main_loop_unref(impl_->loop);
  g_main_context_unref(impl_->context);
}

bool RtspSite::AddCamera(const RtspCameraConfig& config, std::string* error) {
  bool ok = false;
  impl_->Call([&] { ok = impl_->Add(config, error); });
  return ok;
}

void RtspSite::RemoveCamera(const std::string& key) {
  impl_->Call([&] { impl_->Remove(key); });
}

void RtspSite::RemoveAll() {
  impl_->Call([&] {
    while (!impl_->cameras.empty())
      impl_->Remove(impl_->cameras.begin()->first);
  });
}

int RtspSite::ActiveMedia() const {
  return impl_->active.load();
}

int RtspSite::CameraCount() const {
  return impl_->count.load();
}

int64_t RtspSite::MediaMade() const {
  return impl_->made.load();
}

}  // namespace vdz::devsim
