# The event callback registry, the server lists with their Java relay, and the
# favourites and history exports, against the simulated Steam client.
add_bridge_java_suite(NAME events STEAM sim
  CLASSES
    quellink.events.CallbackRegistryTest
    quellink.events.ServerListTest
    quellink.events.FavoriteServersTest)
