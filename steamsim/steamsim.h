/* Control and observation of the simulated Steam client, for programs that
 * load it in their own process (tests, tools). The Steam functions themselves
 * are Valve's flat API: see steam/steam_api.h.
 *
 * They may be called from any thread, as may the Steam functions: each call
 * holds the simulator's lock for its length. A text handed out stays valid
 * until the next call into the library, from any thread. */
#ifndef STEAMSIM_STEAMSIM_H
#define STEAMSIM_STEAMSIM_H

#include <stdbool.h>
#include <stdint.h>

#if defined(_WIN32)
#if defined(STEAMSIM_BUILDING)
#define STEAMSIM_API __declspec(dllexport)
#else
#define STEAMSIM_API __declspec(dllimport)
#endif
#else
#define STEAMSIM_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Back to the state at library load: Steam stopped, empty call log, the
 * scenario named by STEAMSIM_SCENARIO (or the defaults when unset), the log
 * file named by STEAMSIM_LOG. Registered callback objects belong to the
 * caller and stay registered until they unregister themselves. */
STEAMSIM_API void steamsim_reset(void);

/* Resets, then uses the scenario in the file / in the INI text. On a bad
 * scenario: one line "steamsim: <source>(<line>): <reason>" on standard error,
 * false, and a simulator without users (every start fails). */
STEAMSIM_API bool steamsim_load_scenario_file(const char* path);
STEAMSIM_API bool steamsim_load_scenario_text(const char* ini);

/* Every call-log line so far, each ending in '\n'. Valid until the calling
 * thread's next steamsim_call_log(); calls of other threads leave it alone. */
STEAMSIM_API const char* steamsim_call_log(void);
STEAMSIM_API void steamsim_clear_call_log(void);

/* The rich presence value of a key, or null when it is not set. Valid until
 * the calling thread's next steamsim_rich_presence(); calls of other threads
 * leave it alone. */
STEAMSIM_API const char* steamsim_rich_presence(const char* key);

/* The last overlay notification position set (an ENotificationPosition,
 * bottom right until set). */
STEAMSIM_API int steamsim_overlay_position(void);

/* The favourites and history list: entries in the order they were added. */
typedef struct steamsim_favorite {
    uint32_t app_id;
    uint32_t ip;
    uint16_t conn_port;
    uint16_t query_port;
    uint32_t flags; /* 1 favourite, 2 history */
    uint32_t last_played;
} steamsim_favorite;

STEAMSIM_API int steamsim_favorite_count(void);
STEAMSIM_API bool steamsim_get_favorite(int index, steamsim_favorite* out);

/* Callbacks registered for an event id; server-list requests not yet
 * released; whether a ticket handle was issued and not cancelled. */
STEAMSIM_API int steamsim_callback_count(int callbackId);
STEAMSIM_API int steamsim_open_request_count(void);
STEAMSIM_API bool steamsim_ticket_live(uint32_t ticket);

#ifdef __cplusplus
}
#endif

#endif
