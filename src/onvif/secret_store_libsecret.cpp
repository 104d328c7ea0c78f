#include "onvif/secret_store_libsecret.h"

#include <libsecret/secret.h>

#include <cstdlib>
#include <string>

#include "shell/diag_log.h"

namespace vdz::onvif {

namespace {

constexpr char kApplication[] = "viduzaver";
constexpr int kBusTimeoutMs = 1000;

const SecretSchema* Schema() {
  static const SecretSchema schema = [] {
    SecretSchema s{};
    s.name = "org.viduzaver.OnvifAccount";
    s.flags = SECRET_SCHEMA_NONE;
    s.attributes[0] = {"application", SECRET_SCHEMA_ATTRIBUTE_STRING};
    s.attributes[1] = {"user", SECRET_SCHEMA_ATTRIBUTE_STRING};
    return s;
  }();
  return &schema;
}

// Logs and frees; the message names the user, never the password.
void LogError(const char* what, const std::string& user, GError* error) {
  if (error == nullptr)
    return;
  DiagLog("LibsecretStore: %s for %s failed: %s\n", what, user.c_str(), error->message);
  g_error_free(error);
}

bool BusHas(GDBusConnection* bus, const char* method, const char* name) {
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_sync(
      bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", method,
      method[0] == 'N' ? g_variant_new("(s)", name) : nullptr, nullptr, G_DBUS_CALL_FLAGS_NONE,
      kBusTimeoutMs, nullptr, &error);
  if (reply == nullptr) {
    g_error_free(error);
    return false;
  }
  bool found = false;
  if (method[0] == 'N') {
    gboolean owned = FALSE;
    g_variant_get(reply, "(b)", &owned);
    found = owned != FALSE;
  } else {
    GVariantIter* names = nullptr;
    g_variant_get(reply, "(as)", &names);
    const gchar* each = nullptr;
    while (!found && g_variant_iter_next(names, "&s", &each))
      found = g_strcmp0(each, name) == 0;
    g_variant_iter_free(names);
  }
  g_variant_unref(reply);
  return found;
}

class LibsecretStore final : public SecretStore {
 public:
  std::optional<std::string> Password(const std::string& user) override {
    GError* error = nullptr;
    gchar* password = secret_password_lookup_sync(Schema(), nullptr, &error, "application",
                                                  kApplication, "user", user.c_str(), nullptr);
    LogError("lookup", user, error);
    if (password == nullptr)
      return std::nullopt;
    std::string value = password;
    secret_password_free(password);
    return value;
  }

  bool SetPassword(const std::string& user, const std::string& password) override {
    GError* error = nullptr;
    const std::string label = "ViDuZaver ONVIF account " + user;
    const gboolean stored = secret_password_store_sync(
        Schema(), SECRET_COLLECTION_DEFAULT, label.c_str(), password.c_str(), nullptr, &error,
        "application", kApplication, "user", user.c_str(), nullptr);
    LogError("store", user, error);
    return stored != FALSE;
  }

  bool Remove(const std::string& user) override {
    GError* error = nullptr;
    secret_password_clear_sync(Schema(), nullptr, &error, "application", kApplication, "user",
                               user.c_str(), nullptr);
    // FALSE without an error only means there was nothing to remove.
    const bool ok = error == nullptr;
    LogError("clear", user, error);
    return ok;
  }
};

}  // namespace

bool SecretServiceAvailable() {
  // Without an address GLib would try to launch a bus through X11; there is none to find.
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if ((address == nullptr || *address == '\0') &&
      (runtime == nullptr ||
       !g_file_test((std::string(runtime) + "/bus").c_str(), G_FILE_TEST_EXISTS)))
    return false;
  GError* error = nullptr;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
  if (bus == nullptr) {
    g_error_free(error);
    return false;
  }
  const bool found = BusHas(bus, "NameHasOwner", "org.freedesktop.secrets") ||
                     BusHas(bus, "ListActivatableNames", "org.freedesktop.secrets");
  g_object_unref(bus);
  return found;
}

std::unique_ptr<SecretStore> MakeLibsecretStore() {
  return std::make_unique<LibsecretStore>();
}

}  // namespace vdz::onvif
