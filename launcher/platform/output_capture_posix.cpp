#include "platform.h"

namespace platform {

struct OutputCapture::State {};

OutputCapture::OutputCapture() = default;

OutputCapture::~OutputCapture() = default;

std::string OutputCapture::end() { return {}; }

}  // namespace platform
