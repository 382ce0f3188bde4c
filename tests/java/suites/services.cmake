# Statistics and achievements, identity and tickets, overlay and rich presence, calls
# from several threads, and the dedicated-server launch, against the simulated Steam
# client of every generation.
add_bridge_java_suite(NAME services STEAM sim EVERY_GENERATION
  CLASSES
    quellink.services.StatsTest
    quellink.services.IdentityTest
    quellink.services.OverlayTest
    quellink.services.ConcurrentCallsTest
    quellink.services.DedicatedServerTest
  PROPERTIES
    quellink.dedicatedServerAppId=${QUELLINK_DEDICATED_SERVER_APP_ID})

# The dedicated-server launch makes no Steam call: the same against Valve's library.
add_bridge_java_suite(NAME dedicated_server STEAM valve
  CLASSES quellink.services.DedicatedServerTest
  PROPERTIES quellink.dedicatedServerAppId=${QUELLINK_DEDICATED_SERVER_APP_ID})
