# Every native of Pellux.Steam_api binds by name; failure values before start-up;
# the lifecycle exports reach Steam. Once against each Steam library.
add_bridge_java_suite(NAME binding CLASSES quellink.binding.BindingTest STEAM sim)
add_bridge_java_suite(NAME binding CLASSES quellink.binding.BindingTest STEAM valve)
