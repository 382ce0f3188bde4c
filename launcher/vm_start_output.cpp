#include "vm_start_output.h"

#include "failure_notice.h"
#include "messages.h"
#include "platform/platform.h"

namespace {

// The capture of the VM start under way, on the thread that creates the VM
// only: another thread's abort, or one after the start (a crash of the
// running client), is not a failed launch.
thread_local platform::OutputCapture* startCapture = nullptr;

// Sets the capture for the abort hook while the VM is created.
class StartWatch {
public:
    explicit StartWatch(platform::OutputCapture& capture) { startCapture = &capture; }
    ~StartWatch() { startCapture = nullptr; }
    StartWatch(const StartWatch&) = delete;
    StartWatch& operator=(const StartWatch&) = delete;
};

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
    if (!outputUnseen(platform::observeOutput())) return create(vm, envOut, &given);

    platform::OutputCapture capture;
    jint status = JNI_ERR;
    {
        StartWatch watch(capture);
        status = create(vm, envOut, &given);
    }
    // A VM that started keeps writing to what it took; only a failed start's
    // lines are the launch's business.
    const std::string caught = capture.end();
    if (status != JNI_OK) logVmLines(caughtLines(caught));
    return status;
}
