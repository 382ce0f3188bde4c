#include "vm_start_output.h"

#include <cstring>
#include <memory>

#include "failure_notice.h"
#include "launch_watch.h"
#include "messages.h"
#include "platform/platform.h"

namespace {

// The last -XX:ErrorFile value among the options, which HotSpot takes; ""
// without one.
std::string errorFileOption(const JavaVMInitArgs& args) {
    static const char prefix[] = "-XX:ErrorFile=";
    std::string value;
    for (jint i = 0; i < args.nOptions; ++i) {
        const char* option = args.options[i].optionString;
        if (std::strncmp(option, prefix, sizeof prefix - 1) == 0)
            value = option + sizeof prefix - 1;
    }
    return value;
}

}  // namespace

std::vector<std::string> caughtLines(const std::string& output) {
    std::vector<std::string> lines;
    std::string line;
    const auto endLine = [&] {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
        line.clear();
    };
    for (const char c : output) {
        if (c == '\n') {
            endLine();
        } else if (c != '\0') {
            line += c;
        }
    }
    endLine();
    return lines;
}

jint createJavaVmNoticingItsReason(CreateJavaVMFunction create, JavaVM** vm, JNIEnv** env,
                                   const JavaVMInitArgs& args) {
    JavaVMInitArgs given = args;
    void** envOut = reinterpret_cast<void**>(env);
    const bool unseen = outputUnseen(platform::observeOutput());
    const std::unique_ptr<LaunchWatch> watch = LaunchWatch::start(unseen, errorFileOption(args));
    const jint status = create(vm, envOut, &given);
    if (!watch) return status;
    // A VM that started keeps writing to what it took; only a failed start's
    // lines are the launch's business.
    const std::string caught = watch->startEnded(status == JNI_OK);
    if (status != JNI_OK && unseen) logVmLines(caughtLines(caught));
    return status;
}
