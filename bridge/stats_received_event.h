// The UserStatsReceived_t event that the bridge posts itself where Steam's library
// has no RequestCurrentStats (SDK 1.61 on: Steam synchronises the user's stats and
// achievements before the game starts, and posts no event for it). A client written
// for the older libraries asks for the stats and waits for the event; this keeps it
// working: the event reaches the registered objects inside the next pump, on the
// pumping thread, as Steam's own events do.
#pragma once

namespace quellink {

// Answers a stats request: the event is delivered by the next pump while Steam
// runs. Requests made between two pumps get one event. Any thread.
void postUserStatsReceived();

// Inside SteamAPI_RunCallbacks, after Steam's own events: delivers the posted event
// to every registered statistics callback, once. Nothing while Steam is stopped.
void deliverPostedUserStatsReceived();

// SteamAPI_ShutDown forgets an event posted and not yet delivered: the session it
// belongs to has ended, as Steam drops its own queued events then. A second
// SteamAPI_Init while Steam runs ends no session and keeps it.
void forgetPostedUserStatsReceived();

}  // namespace quellink
