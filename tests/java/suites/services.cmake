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
