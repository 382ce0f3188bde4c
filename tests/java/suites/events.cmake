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
