// What the launcher can tell about a HotSpot class-data archive from its
// header, before the Java VM maps it: a damaged archive, or one of another
// runtime, must never reach the VM as one to use (Java 17 maps a truncated
// archive and dies of a bus error).
#pragma once

#include <string>

namespace tessvik {

// True when the file at archivePath is a whole dynamic archive written by the
// VM that wrote the runtime's default archive at baseArchivePath: a dynamic
// archive's magic number, the same VM identity text at the same place in
// both headers, and a size that holds every region the header lists where
// the header's layout is known (Java 17's), else at least whole pages.
bool isCompleteDynamicArchive(const std::string& archivePath, const std::string& baseArchivePath);

}  // namespace tessvik
