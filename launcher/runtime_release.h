// What a Java runtime says about itself in its "release" file: the text file
// of KEY="value" lines beside its bin and lib directories.
#pragma once

#include <optional>
#include <string>

// The runtime's feature version (8 for "1.8.0_392", 17 for "17.0.15", 25 for
// "25") from JAVA_VERSION in the release file of the runtime that holds the
// library at runtimeLibraryPath. The file is looked for in the directories
// above the library (bin/server/jvm.dll, lib/server/libjvm.so and a Java 8
// jre/lib/amd64/server/libjvm.so all reach it). Nothing when there is no
// such file or it names no version.
std::optional<int> runtimeFeatureVersion(const std::string& runtimeLibraryPath);

// The path of the release file of the runtime that holds the library at
// runtimeLibraryPath, found as runtimeFeatureVersion finds it; "" when there
// is none.
std::string runtimeReleaseFile(const std::string& runtimeLibraryPath);

// The feature version in a JAVA_VERSION value: "1.x..." is x, else the number
// the value begins with. Nothing when the value does not begin with one.
std::optional<int> featureVersionOf(const std::string& javaVersion);
