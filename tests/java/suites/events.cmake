# The event callback registry, the server lists with their Java relay, and the
# favourites and history exports, against the simulated Steam client of every
# generation.
add_bridge_java_suite(NAME events STEAM sim EVERY_GENERATION
  CLASSES
    quellink.events.CallbackRegistryTest
    quellink.events.ServerListTest
    quellink.events.FavoriteServersTest
    quellink.events.MissingCallbackMethodTest)

# Leaves a registry registered for the rest of the process: a JVM of its own.
add_bridge_java_suite(NAME events_two_registries STEAM sim EVERY_GENERATION
  CLASSES quellink.events.TwoRegistriesTest)

# A preloaded library that wraps SteamAPI_RunCallbacks: Quellink still finds Steam's
# library, starts it and delivers its events, and never calls it unsupported.
add_bridge_java_suite(NAME events_preloaded STEAM sim
  CLASSES quellink.events.PreloadedWrapperTest quellink.events.CallbackRegistryTest
  PROPERTIES quellink.preloaded=$<TARGET_FILE:steam_run_callbacks_hook>
  ENVIRONMENT LD_PRELOAD=$<TARGET_FILE:steam_run_callbacks_hook>)
set_property(TEST java.events_preloaded.sim APPEND PROPERTY
  FAIL_REGULAR_EXPRESSION "Unsupported Steam library")
