#include "runtime_image_options.h"

#include <cstdint>
#include <vector>

#include "platform/platform.h"

namespace {

// The image library's entry points, as the runtime exports them.
struct ImageFile;
using ImageOpen = ImageFile* (*)(const char* path, std::int32_t* error);
using ImageFindResource = std::int64_t (*)(ImageFile* image, const char* module,
                                           const char* version, const char* name,
                                           std::int64_t* size);
using ImageGetResource = std::int64_t (*)(ImageFile* image, std::int64_t location, char* buffer,
                                          std::int64_t size);

// A runtime's options are a line or two; a larger resource is not options.
constexpr std::int64_t longestOptions = 1 << 16;

}  // namespace

std::optional<std::string> runtimeImageOptions(const std::string& runtimeLibraryPath) {
    // <home>/lib/server/libjvm.so or <home>\bin\server\jvm.dll: the image
    // library sits in the directory above the VM's, the image in <home>/lib.
    const std::string libraries =
        platform::directoryOf(platform::directoryOf(platform::resolvedPath(runtimeLibraryPath)));
    const std::string image =
        platform::joinPath(platform::joinPath(platform::directoryOf(libraries), "lib"), "modules");
    const std::string imageLibrary = platform::joinPath(libraries, platform::imageLibraryName);
    if (!platform::isRegularFile(image) || !platform::isRegularFile(imageLibrary)) return {};
    const platform::ResidentLibrary library = platform::ResidentLibrary::load(imageLibrary);
    const auto open = reinterpret_cast<ImageOpen>(library.symbol("JIMAGE_Open"));
    const auto find = reinterpret_cast<ImageFindResource>(library.symbol("JIMAGE_FindResource"));
    const auto get = reinterpret_cast<ImageGetResource>(library.symbol("JIMAGE_GetResource"));
    if (open == nullptr || find == nullptr || get == nullptr) return {};
    std::int32_t error = 0;
    ImageFile* const file = open(image.c_str(), &error);
    if (file == nullptr) return {};
    std::int64_t size = 0;
    const std::int64_t location = find(file, "java.base", "", "jdk/internal/vm/options", &size);
    if (location == 0 || size <= 0 || size > longestOptions) return {};
    std::vector<char> text(static_cast<std::size_t>(size));
    if (get(file, location, text.data(), size) != size) return {};
    return std::string(text.begin(), text.end());
}
