# Statistics and achievements, identity and tickets, overlay and rich presence, and
# the dedicated-server launch, against the simulated Steam client.
add_bridge_java_suite(NAME services STEAM sim
  CLASSES
    quellink.services.StatsTest
    quellink.services.IdentityTest
    quellink.services.OverlayTest
    quellink.services.DedicatedServerTest
  PROPERTIES
    quellink.dedicatedServerAppId=${QUELLINK_DEDICATED_SERVER_APP_ID})

# The dedicated-server launch makes no Steam call: the same against Valve's library.
add_bridge_java_suite(NAME dedicated_server STEAM valve
  CLASSES quellink.services.DedicatedServerTest
  PROPERTIES quellink.dedicatedServerAppId=${QUELLINK_DEDICATED_SERVER_APP_ID})
