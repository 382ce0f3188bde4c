// The launcher's platform layer, all of it behind this one header. Everything
// above this seam is the same on every platform; everything below it lives in
// <concern>_<os>.cpp (posix, win32), and name_matching.cpp holds the Windows
// listing rules that every platform's directory listing follows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform {

// --- Paths and the program ------------------------------------------------------

extern const char pathSeparator;              // between a directory and an entry
extern const char classPathSeparator;         // between class path entries
extern const char* const runtimeLibraryName;  // "jvm.dll" / "libjvm.so"
extern const char* const imageLibraryName;    // "jimage.dll" / "libjimage.so"
extern const char* const javaProgramName;     // "java.exe" / "java", in a runtime's bin

// True for a character that separates the parts of a path: the platform's own
// separator, and '/', which Windows takes as one too.
inline bool isPathSeparator(char c) { return c == pathSeparator || c == '/'; }

// The directory part of path: the path without its last component and the
// separators before it. Separators at the end of path are ignored and a run of
// them counts as one; the root stays the root ("/x" and "/" give "/"), and a
// bare name gives "". A drive ("C:") is a component like any other.
std::string directoryOf(const std::string& path);

// The last component of path, separators at its end ignored; "" for the root.
std::string lastComponentOf(const std::string& path);

// name below directory, joined with the platform's separator (never normalised).
inline std::string joinPath(const std::string& directory, const std::string& name) {
    return directory + pathSeparator + name;
}

// Full path of the running executable, however long.
std::string executablePath();

// The command-line arguments, the program as invoked first, each as modified
// UTF-8 ready for NewStringUTF. Windows reads the process's command line;
// POSIX converts what the entry handed to setProgramArguments.
std::vector<std::string> commandLineArguments();
#ifndef _WIN32
void setProgramArguments(int argc, char** argv);
// The arguments exactly as the program was given them.
std::vector<std::string> commandLineArgumentsAsGiven();
#endif

// False when the executable's path holds characters that the process's narrow
// strings cannot represent: Windows before 10 1903 ignores the manifest's
// UTF-8 code page, and a folder named outside the system's code page then
// cannot be passed. True wherever narrow strings hold every name.
bool executablePathRepresentable();

// --- Text in the system's code page ---------------------------------------------

// Text written in the system's default ANSI code page (a settings file saved by
// hand before the launcher's code page was UTF-8), as the process's narrow
// strings hold it: converted to UTF-8 where the process's code page is UTF-8
// and the system's is not; unchanged elsewhere, and always on POSIX.
std::string fromSystemCodePage(const std::string& text);

// --- Directory listings ---------------------------------------------------------

struct DirectoryEntry {
    std::string name;  // the name as the platform lists it
    bool isDirectory;
};

// Lists the entries of directory whose names match pattern the way the
// Windows directory search matches ("*" and "?" wildcards, letter case
// ignored; "*.*" lists everything), in the order NTFS lists them; symbolic
// links count as what they point to. An empty pattern lists the directory's
// own entry, as a search for the bare path does. "." and ".." may be among
// the entries. Returns false when nothing can be listed.
//
// When identity is given it receives an identity of the directory that stays
// the same whichever path reaches it (symbolic links, junctions), or "" when
// that cannot be told.
bool listDirectory(const std::string& directory, const std::string& pattern,
                   std::vector<DirectoryEntry>& entries, std::string* identity = nullptr);

// The listing rules of the Windows file system, which listDirectory follows on
// platforms whose own directory search has none.
//
// True when name matches pattern: "*" stands for any run of characters, "?"
// for exactly one character, every other character for itself with ASCII
// letter case ignored. "*.*" matches every name, with or without a dot.
bool matchesWildcard(const std::string& pattern, const std::string& name);

// The NTFS listing order: ordinal comparison of the names with ASCII letters
// upper-cased. Names equal in that comparison (possible only where letter
// case matters) keep a fixed order by their bytes.
bool listsBefore(const std::string& left, const std::string& right);

// --- Files ----------------------------------------------------------------------

// True when path names a regular file, or a link to one. Only such a file is
// read or loaded: a FIFO or a device would make the launcher wait for ever.
bool isRegularFile(const std::string& path);

struct FileStatus {
    bool exists = false;
    bool isDirectory = false;
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // last write, in the platform's own units
};

// What the file system says about path, links followed.
FileStatus fileStatus(const std::string& path);

// The time now, in the units of FileStatus::modified, and how many of those
// units make a second.
std::int64_t fileTimeNow();
extern const std::int64_t fileTimeUnitsPerSecond;

// Which file a path leads to, and when its entry last changed: what a copy or
// a replacement cannot keep, even where it keeps the size and the time of the
// last write.
struct FileIdentity {
    bool known = false;
    std::string file;          // the volume and the file's number on it (inode, file index)
    std::int64_t changed = 0;  // last change of the entry, in the platform's own units
};

FileIdentity fileIdentity(const std::string& path);

// The bytes this user may still write on the file system holding directory;
// nothing when that cannot be told.
std::optional<std::uint64_t> freeSpace(const std::string& directory);

// True when path itself is a symbolic link (on Windows any reparse point: a
// link or a junction), whether or not it leads anywhere.
bool isSymbolicLink(const std::string& path);

enum class FileReadOutcome {
    read,            // bytes holds the file, or its first limit bytes when cut
    missing,         // nothing at all at the path
    notRegularFile,  // a directory, a FIFO, a device: never opened for reading
    tooLarge,        // more than limit bytes, refused: nothing read
    cannotOpen,      // there (a dangling link too), but it cannot be opened
    readError,       // opened, but reading it failed before its end
};

// What the file holds at its limit: the whole file is refused, or only its
// first bytes are wanted.
enum class OverLimit { refuse, cut };

struct FileContent {
    FileReadOutcome outcome = FileReadOutcome::missing;
    std::string bytes;  // empty unless read
};

// The launcher's one file reader. Reads the regular file at path (links
// followed) byte for byte, in binary. A file larger than limit is refused
// without being read, or cut to its first limit bytes; a file that grows
// while it is read is judged by what it holds then. Nothing but a regular file
// is opened, so a FIFO or a device is never waited on.
FileContent readFile(const std::string& path, std::uint64_t limit,
                     OverLimit overLimit = OverLimit::refuse);

// The text a text-mode read of bytes gives, as the C runtime reads a text
// file: on Windows CR LF becomes LF and the text ends at the first Ctrl-Z;
// elsewhere the bytes themselves.
std::string textModeText(const std::string& bytes);

// Gives the file at from the name to, replacing a file (not a directory) of
// that name; a link at from is renamed itself. True when it was renamed.
bool renameFile(const std::string& from, const std::string& to);

// Makes directory the process's current directory. True when it is.
bool setCurrentDirectory(const std::string& directory);
// The process's current directory; "" when it cannot be told.
std::string currentDirectory();

// The path with every symbolic link resolved, as the Java VM resolves its own
// library to find its files; unchanged when that cannot be done (and always
// on Windows, where the VM takes the path the library was loaded from).
std::string resolvedPath(const std::string& path);

// The user's cache directory, where the launcher may write whatever the game
// directory allows or not: %LOCALAPPDATA% on Windows; $XDG_CACHE_HOME, or
// else ~/.cache, elsewhere. "" when the environment names none.
std::string userCacheDirectory();

// The user's state directory, where the launcher keeps what a game leaves for
// its player to find (crash reports): %LOCALAPPDATA% on Windows;
// $XDG_STATE_HOME, or else ~/.local/state, elsewhere. "" when the environment
// names none.
std::string userStateDirectory();

// Creates one directory whose parent exists, for this user alone (0700). True
// when it is a directory afterwards, made now or before.
bool makeDirectory(const std::string& path);

// Creates path and whichever directories above it are missing, each as
// makeDirectory does. True when path is a directory afterwards.
bool makeDirectories(const std::string& path);

// True when a new file can be created in directory: one is made and removed.
bool canCreateFilesIn(const std::string& directory);

// Removes a file, a read-only one too. True when it is gone.
bool removeFile(const std::string& path);

// Writes bytes to a new file of this user's alone (0600), then gives it the
// name path: a reader never sees part of it, and a link at path is replaced,
// never followed.
bool writeFileAtomically(const std::string& path, const std::string& bytes);

// Remove and rename as one system call each, with nothing allocated: for the
// VM's end, which may run while other threads stand anywhere.
bool removeFileNow(const char* path);
bool renameFileNow(const char* from, const char* to);

// Removes path with everything below it. A link (on Windows any reparse
// point) is removed itself, wherever it stands, and never followed, so
// nothing outside path is touched. True when path is gone.
bool removeTree(const std::string& path);

// --- The runtime library --------------------------------------------------------

// Registers a directory searched for the dependent libraries of the next
// load (Windows; POSIX libraries find theirs through their own run path).
void setLibraryDirectory(const std::string& directory);

// A shared library loaded for the rest of the process: nothing unloads it. The
// one the launcher loads is the Java runtime's VM library, which cannot be
// unloaded: the VM's daemon threads still stand in its code after DestroyJavaVM
// returns. Copies name the same library.
class ResidentLibrary {
public:
    // No library.
    ResidentLibrary() = default;

    // Loads a shared library by full path; no library on failure.
    static ResidentLibrary load(const std::string& path);

    // The address of an exported name; null without a library or such a name.
    void* symbol(const char* name) const;

    friend bool operator==(const ResidentLibrary& library, std::nullptr_t) {
        return library.handle_ == nullptr;
    }
    friend bool operator!=(const ResidentLibrary& library, std::nullptr_t) {
        return library.handle_ != nullptr;
    }

private:
    explicit ResidentLibrary(void* handle) : handle_(handle) {}

    void* handle_ = nullptr;
};

// --- The user: pause and debug console ------------------------------------------

// Waits for a key press after a failed launch (the system's "PAUSE"); on
// POSIX only when standard input is a terminal.
void pause();

// Debug console: opens a console window and rebinds standard output and
// standard error to it, unbuffered.
void openDebugConsole();
// Detaches from the console, if any.
void freeConsole();

// --- What the process's output reaches ------------------------------------------

// What the process's standard output is connected to, for deciding how a failed
// launch reaches the user.
enum class OutputTarget {
    none,     // no handle at all: a GUI program started from the desktop
    console,  // a console window
    file,     // redirected to a file
    pipe,     // redirected to a pipe
    device,   // another character device (the null device, a serial port)
};

struct OutputSituation {
    bool hasConsole;  // the process is attached to a console window
    OutputTarget standardOutput;
    OutputTarget standardError = OutputTarget::none;
};

OutputSituation observeOutput();

// A modal box with an error icon and an OK button, for when the output is
// connected to nothing anyone can see; returns when it is closed.
void showErrorBox(const std::string& title, const std::string& text);

// --- The launch's watcher -------------------------------------------------------
//
// A second process of this program that sees this one end, so that a launch
// nobody can see (a GUI program started from the desktop) still tells how it
// ended: the Java VM's reason when the VM ended the process while it started,
// the crash report when the VM crashed. It does that work itself, so that
// nothing of it runs in a process that is ending, and the VM keeps its own
// error reporting, time-outs and exit status.
//
// Windows only; a POSIX launcher's output and end are seen by whoever started
// it, and there is never a watcher.

// The launcher's side.
class LaunchWatcher {
public:
    // Starts this program again as the watcher of this process, at once (its
    // own start runs beside the VM's), with the variable named set to the
    // handles it inherits: a handle of this process, the read end of a channel
    // from here and the write end of one back. With catchOutput, the standard
    // output and standard error handles, and descriptors 1 and 2 and the
    // stdout and stderr streams of the C runtimes loaded in the process (this
    // program's and the Java runtime's own), write from then on into one pipe
    // that the watcher reads, so that what the VM writes just before it ends
    // the process is never lost. The watcher has no console of its own (it
    // may share this one's: WatchedLaunch::shareConsole). Null when it could
    // not be started.
    static std::unique_ptr<LaunchWatcher> start(const char* variable, bool catchOutput);
    ~LaunchWatcher();  // closes the channel; the watcher goes on watching
    LaunchWatcher(const LaunchWatcher&) = delete;
    LaunchWatcher& operator=(const LaunchWatcher&) = delete;

    // Writes bytes into the channel. False when the watcher is gone.
    bool send(const std::string& bytes);

    // Puts the standard handles back and writes an end mark through the
    // pipe after everything written before. Writers that took the pipe
    // meanwhile (a Java runtime's System.out, the C runtimes' descriptors)
    // keep it: the watcher reads and drops what they write later.
    void endCapture();

    // What the watcher sends back, up to its end of the channel or at most
    // the time given.
    std::string receive(unsigned milliseconds);

    struct State;

private:
    explicit LaunchWatcher(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

// The watcher's side: what the launcher handed it.
class WatchedLaunch {
public:
    // From the value of the launcher's variable; null when it names no
    // launcher's handles that this process holds.
    static std::unique_ptr<WatchedLaunch> fromVariable(const std::string& value);
    ~WatchedLaunch();
    WatchedLaunch(const WatchedLaunch&) = delete;
    WatchedLaunch& operator=(const WatchedLaunch&) = delete;

    // The next bytes of the channel; "" at its end (the launcher closed it
    // or ended).
    std::string receive();
    // Sends bytes back and closes the way back.
    void reply(const std::string& bytes);

    // The launcher's caught output: what came through the pipe before the
    // end mark, or before the pipe closed with the launcher's end (the last
    // 64 KiB at most); "" without a capture. Waits for either at most 5 s.
    // From then on what comes through the pipe is dropped.
    std::string caughtOutput();

    // Attaches this process to the launcher's console, which then stays
    // open while this process is attached, after the launcher's end too.
    void shareConsole();

    // Waits for the launcher's end; its exit status.
    int waitForEnd();
    std::uint64_t processId() const;
    // When the launcher's process started, in FileStatus::modified's units.
    std::int64_t startTime() const;

    struct State;

private:
    explicit WatchedLaunch(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

// --- Helper processes and locks -------------------------------------------------

// Environment variables a started program gets beside this process's own:
// name, value.
using EnvironmentAdditions = std::vector<std::pair<std::string, std::string>>;

// Starts the program at arguments[0] with the arguments (the program first),
// detached from this process: in a session of its own with no console, its
// standard streams going nowhere, at a lower scheduling priority than the
// caller's, never waited for. True when it started.
bool startDetached(const std::vector<std::string>& arguments,
                   const EnvironmentAdditions& environment);

// Runs the program at arguments[0] and waits for its end. Its exit status, or
// -1 when it could not start or did not end by exiting (a signal). The program
// ends with this process: a termination signal (POSIX) or any end of this
// process (Windows) ends it too.
int runToEnd(const std::vector<std::string>& arguments, const EnvironmentAdditions& environment);

// Removes a variable from this process's environment, and so from that of
// everything it starts.
void unsetEnvironment(const char* name);

// Lowers this process's scheduling priority, and so that of the programs it
// starts, so that work nobody waits for leaves the machine to the game.
void lowerOwnPriority();

// An exclusive lock on a lock file, held until the owner ends or the process
// does (a process that crashes or is killed leaves no lock behind).
class FileLock {
public:
    FileLock() = default;
    ~FileLock();
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Creates the file at path when it is missing and locks it without
    // waiting: no lock when another process (or another owner here) holds it.
    static FileLock tryAcquire(const std::string& path);
    // The same, waiting for as long as another holds it.
    static FileLock acquire(const std::string& path);
    // Locks the file at path without creating it or waiting. gone: there is
    // none, or its holder removed it while ending normally.
    enum class Probe { acquired, held, gone };
    static FileLock probe(const std::string& path, Probe& outcome);

    bool held() const { return handle_ != noHandle; }
    void release();

private:
    static constexpr std::intptr_t noHandle = -1;
    explicit FileLock(std::intptr_t handle) : handle_(handle) {}
    std::intptr_t handle_ = noHandle;
};

// --- The main thread's stack ----------------------------------------------------

// Gives the main thread a stack of at least wanted() bytes where that takes a
// new start of the program with a larger limit (POSIX): starts the program
// again, once, with the same arguments, and does not return then. Returns
// when the stack is large enough already, cannot grow that far, or the
// program was started again already. wanted (0: nothing asked) is called only
// where the stack can grow at all, so a launch pays for finding the size only
// then.
void growMainThreadStack(const std::function<std::uint64_t()>& wanted);

// The bytes the main thread's stack may grow to.
std::uint64_t mainThreadStackSize();

// --- The machine ----------------------------------------------------------------

// The facts of this machine that the Java VM chooses by (its default collector
// and heap by the processor count and physical memory) and that the machine
// code it generates depends on (the processor model), as one line of text.
std::string machineFacts();

}  // namespace platform
