// The steamsim_* control functions.
#include "steamsim/steamsim.h"

#include "simulator.h"

#include <string>

using steamsim::Locked;

namespace {
std::string g_text; // storage for the texts handed out, under the simulator's lock
} // namespace

extern "C" {

STEAMSIM_API void steamsim_reset(void) {
  Locked sim;
  sim->reset();
}

STEAMSIM_API bool steamsim_load_scenario_file(const char *path) {
  Locked sim;
  return path != nullptr && sim->load_file(path);
}

STEAMSIM_API bool steamsim_load_scenario_text(const char *ini) {
  Locked sim;
  return ini != nullptr && sim->load_text(ini, "scenario text");
}

STEAMSIM_API const char *steamsim_call_log(void) {
  Locked sim;
  g_text = sim->log().text();
  return g_text.c_str();
}

STEAMSIM_API void steamsim_clear_call_log(void) {
  Locked sim;
  sim->log().clear();
}

STEAMSIM_API const char *steamsim_rich_presence(const char *key) {
  Locked sim;
  const std::string *value = key != nullptr ? sim->rich_presence(key) : nullptr;
  if (value == nullptr) return nullptr;
  g_text = *value;
  return g_text.c_str();
}

STEAMSIM_API int steamsim_overlay_position(void) {
  Locked sim;
  return sim->overlay_position();
}

STEAMSIM_API int steamsim_favorite_count(void) {
  Locked sim;
  return sim->favorite_count();
}

STEAMSIM_API bool steamsim_get_favorite(int index, steamsim_favorite *out) {
  Locked sim;
  const steamsim::FavoriteEntry *entry = sim->favorite(index);
  if (entry == nullptr || out == nullptr) return false;
  *out = {entry->app, entry->ip, entry->conn_port, entry->query_port, entry->flags, entry->last_played};
  return true;
}

STEAMSIM_API int steamsim_callback_count(int callback_id) {
  Locked sim;
  return sim->callback_count(callback_id);
}

STEAMSIM_API int steamsim_open_request_count(void) {
  Locked sim;
  return sim->open_request_count();
}

STEAMSIM_API bool steamsim_ticket_live(uint32_t ticket) {
  Locked sim;
  return sim->ticket_live(ticket);
}

} // extern "C"
