# Every native of Pellux.Steam_api binds by name; failure values before start-up;
# the lifecycle exports reach Steam. Once against each Steam library: the simulator
# and Valve's library with no Steam client, of every generation.
add_bridge_java_suite(NAME binding CLASSES quellink.binding.BindingTest STEAM sim EVERY_GENERATION)
add_bridge_java_suite(NAME binding CLASSES quellink.binding.BindingTest STEAM valve EVERY_GENERATION)
