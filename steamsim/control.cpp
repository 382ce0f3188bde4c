// The steamsim_* control functions.
#include "steamsim/steamsim.h"

#include "simulator.h"

#include <string>

using steamsim::Locked;

namespace {

// Storage for the texts handed out, one per function and thread: a text handed to
// one thread stays as it is while other threads call in, until this thread asks
// again.
thread_local std::string handedOutLog;
thread_local std::string handedOutRichPresence;

}  // namespace

extern "C" {

STEAMSIM_API void steamsim_reset(void) {
    Locked sim;
    sim->reset();
}

STEAMSIM_API bool steamsim_load_scenario_file(const char* path) {
    Locked sim;
    return path != nullptr && sim->loadFile(path);
}

STEAMSIM_API bool steamsim_load_scenario_text(const char* ini) {
    Locked sim;
    return ini != nullptr && sim->loadText(ini, "scenario text");
}

STEAMSIM_API const char* steamsim_call_log(void) {
    Locked sim;
    handedOutLog = sim->log().text();
    return handedOutLog.c_str();
}

STEAMSIM_API void steamsim_clear_call_log(void) {
    Locked sim;
    sim->log().clear();
}

STEAMSIM_API const char* steamsim_rich_presence(const char* key) {
    Locked sim;
    const std::string* value = key != nullptr ? sim->richPresence(key) : nullptr;
    if (value == nullptr) return nullptr;
    handedOutRichPresence = *value;
    return handedOutRichPresence.c_str();
}

STEAMSIM_API int steamsim_overlay_position(void) {
    Locked sim;
    return sim->overlayPosition();
}

STEAMSIM_API int steamsim_favorite_count(void) {
    Locked sim;
    return sim->favoriteCount();
}

STEAMSIM_API bool steamsim_get_favorite(int index, steamsim_favorite* out) {
    Locked sim;
    const steamsim::FavoriteEntry* entry = sim->favorite(index);
    if (entry == nullptr || out == nullptr) return false;
    *out = {entry->app,       entry->ip,    entry->connPort,
            entry->queryPort, entry->flags, entry->lastPlayed};
    return true;
}

STEAMSIM_API int steamsim_callback_count(int callbackId) {
    Locked sim;
    return sim->callbackCount(callbackId);
}

STEAMSIM_API int steamsim_open_request_count(void) {
    Locked sim;
    return sim->openRequestCount();
}

STEAMSIM_API bool steamsim_ticket_live(uint32_t ticket) {
    Locked sim;
    return sim->ticketLive(ticket);
}

}  // extern "C"
