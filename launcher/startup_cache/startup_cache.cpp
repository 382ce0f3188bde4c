#include "startup_cache.h"

#include <atomic>
#include <cstdlib>
#include <memory>

#include "aot_assembly.h"
#include "cache_decision.h"
#include "cache_entry.h"
#include "class_data_archive.h"
#include "class_path_reach.h"
#include "digest.h"
#include "directory_search.h"
#include "folder_housekeeping.h"
#include "game_layout.h"
#include "messages.h"
#include "platform/directories.h"
#include "platform/files.h"
#include "platform/locks.h"
#include "platform/machine.h"
#include "platform/paths.h"
#include "runtime_facts.h"

namespace tessvik {

namespace {

// The runtimes whose VM logs what it maps in lines the launcher knows.
constexpr int firstMapLogVersion = 17;
constexpr int lastMapLogVersion = 18;
// The runtime's default archive, beside its VM library; a dynamic archive
// extends it and is useless without it.
constexpr const char* baseArchiveName = "classes.jsa";
constexpr const char* notAvailable = "Class data sharing is not available for this runtime";
constexpr std::uint64_t longestMapLog = 1 << 20;

}  // namespace

// What one launch holds and has prepared for its VM's end.
struct CacheRun {
    CacheEntry entry;
    platform::FileLock lock;  // the entry's, while this launch writes it
    CacheUse use;             // the mark, while this launch's VM maps it
    std::string writtenPart;  // what the VM writes as it ends, renamed to writtenName
    std::string writtenName;
    std::string mapLog;         // where the VM logs mapping the archive, "" when not asked
    bool freshUse = false;      // the archive's first use since it was written
    std::string assemblyToken;  // the request's, for an assembly still to start
    std::atomic<bool> ended{false};
    std::atomic<bool> starting{false};  // the VM is being created with the plan's options
    platform::PreparedStart restart;    // this launch again, without the cache
};

namespace {

// The launch whose part of the end runs as the process exits: one per process.
std::atomic<StartupCacheLaunch*> endingLaunch{nullptr};

// Names, in a new start of the launcher, the cache its VM refused before.
constexpr const char* refusedVariable = "TESSVIK_CACHE_REFUSED";

SharingPlan off(const std::string& reason) { return {{}, "Class data sharing is off: " + reason}; }

// True when a class file lies anywhere below directory, or (anyFile) any file
// at all in it. HotSpot refuses to write an archive that holds a class it
// loaded from a directory that is not empty (and ends the process), and to
// assemble or use an ahead-of-time cache while any class path directory is
// not empty.
enum class Contents { anyFile, classFiles };

bool holdsFiles(const std::string& directory, Contents contents) {
    return !visitFiles(directory, "*.*", Descent::wholeTree,
                       [&](const std::string&, const platform::DirectoryEntry& file) {
                           return contents == Contents::classFiles &&
                                  !platform::matchesWildcard("*.class", file.name);
                       });
}

std::string directoryHoldingFiles(const std::vector<std::string>& classPath, Contents contents) {
    for (const std::string& entry : classPath) {
        if (platform::fileStatus(entry).isDirectory() && holdsFiles(entry, contents)) return entry;
    }
    return {};
}

std::string stampWithPath(const std::string& path) {
    const platform::FileStatus status = platform::fileStatus(path);
    if (status.isDirectory()) return path + "\ndirectory\n";
    return path + '\n' + (status.exists() ? fileStamp(path) : "missing\n");
}

// Everything an entry depends on, as text: the runtime's files, every class
// path entry, every VM option of every source, and (for a cache of machine
// code and heap layout) the machine.
std::string identityOf(const std::vector<std::string>& runtimeFiles, const SharingInput& input,
                       bool withMachine) {
    std::string identity;
    for (const std::string& file : runtimeFiles) identity += stampWithPath(file);
    for (const std::string& entry : input.classPath) identity += stampWithPath(entry);
    for (const std::string& option : input.vmOptions) identity += option + '\n';
    for (const GivenVmOption& option : input.givenOptions) {
        identity += option.source + ' ' + option.text + '\n';
    }
    return withMachine ? identity + platform::machineFacts() + '\n' : identity;
}

bool anyHoldsNewline(const std::vector<std::string>& texts) {
    for (const std::string& text : texts) {
        if (text.find('\n') != std::string::npos) return true;
    }
    return false;
}

std::string sizeText(std::uint64_t bytes) {
    if (bytes < (1u << 20)) return std::to_string(bytes >> 10) + " KiB";
    return std::to_string(bytes >> 20) + " MiB";
}

// Under the entry's lock: what an earlier writer left unfinished goes, and
// counts as a failed write. False when an assembly still waits for the lock.
bool clearLeftovers(const CacheEntry& entry) {
    platform::FileLock::Probe request;
    { const platform::FileLock waiting = platform::FileLock::probe(entry.request(), request); }
    if (request == platform::FileLock::Probe::held) return false;
    std::vector<std::string> left = entry.filesNamed(".part-");
    for (const std::string& file : {entry.request(), entry.configuration()}) {
        if (platform::fileStatus(file).exists()) left.push_back(file);
    }
    if (!left.empty()) noteFailure(entry, "an earlier attempt did not finish", Retry::later);
    for (const std::string& file : left) platform::removeFile(file);
    platform::removeFile(entry.configurationPart());
    return true;
}

std::string roomShortfall(const SharingInput& input, const std::string& folder, CacheKind kind) {
    std::uint64_t needed = archiveRoomNeeded(classPathBytes(input.classPath));
    // The configuration and the cache lie side by side until the cache is whole.
    if (kind == CacheKind::aotCache) needed *= 2;
    const std::optional<std::uint64_t> free =
        input.cacheFreeBytes ? input.cacheFreeBytes : platform::freeSpace(folder);
    if (!free || *free >= needed) return {};
    return folder + " has " + sizeText(*free) + " free, a new cache may need " + sizeText(needed);
}

// Where the VM logs what it maps: beside the archive, else in the temporary
// folder; "" where neither path is free of '%', which the VM's log would read
// as the start of its process id or the time, and cannot take as itself.
std::string mapLogPath(const CacheEntry& entry) {
    const std::string name = ".log-" + newToken();
    for (const std::string& path :
         {entry.cache + name,
          platform::joinPath(platform::temporaryDirectory(), "tessvik-cds" + name)}) {
        if (path.find('%') == std::string::npos) return path;
    }
    return {};
}

std::string mapLogOption(const std::string& log) {
    // A quoted file name, since the option is split at colons; no rotation.
    return "-Xlog:cds=info,cds+dynamic=info:file=\"" + log + "\":none:filecount=0";
}

SharingPlan use(CacheRun& run, CacheKind kind, int version, bool fresh) {
    run.use = CacheUse::begin(run.entry);
    SharingPlan plan;
    plan.message = "Class data sharing: using " + run.entry.cache;
    if (kind == CacheKind::aotCache) {
        plan.options = {"-XX:AOTMode=auto", "-XX:AOTCache=" + run.entry.cache};
        return plan;
    }
    // Each use tells whether the VM maps the archive: a VM refuses one whose
    // inputs changed in a way the name does not show, and then maps none.
    if (version >= firstMapLogVersion && version <= lastMapLogVersion) {
        run.mapLog = mapLogPath(run.entry);
        run.freshUse = fresh;
        if (!run.mapLog.empty()) plan.options.push_back(mapLogOption(run.mapLog));
    }
    plan.options.push_back("-XX:SharedArchiveFile=" + run.entry.cache);
    return plan;
}

SharingPlan write(CacheRun& run, CacheKind kind, const SharingInput& input,
                  const std::string& library) {
    SharingPlan plan;
    if (kind == CacheKind::archive) {
        run.writtenPart = run.entry.part(newToken());
        run.writtenName = run.entry.cache;
        plan.options = {"-XX:ArchiveClassesAtExit=" + run.writtenPart};
        plan.message = "Class data sharing: writing " + run.entry.cache;
        return plan;
    }
    run.writtenPart = run.entry.configurationPart();
    run.writtenName = run.entry.configuration();
    const AssemblyRequest request{library, backgroundOptions(input.givenOptions), run.entry};
    run.assemblyToken = writeAssemblyRequest(request);
    if (run.assemblyToken.empty()) return off("cannot write to " + run.entry.request());
    plan.options = {"-XX:AOTMode=record", "-XX:AOTConfiguration=" + run.writtenPart};
    plan.message = "Class data sharing: recording " + run.entry.cache;
    return plan;
}

SharingPlan busy(CacheKind kind, const CacheEntry& entry) {
    if (kind == CacheKind::aotCache) return {{}, "Class data sharing: assembling " + entry.cache};
    return off("another launch is writing " + entry.cache);
}

// The entry's facts, decided on, and done.
SharingPlan planEntry(CacheRun& run, CacheKind kind, const SharingInput& input,
                      const std::string& library, const std::string& baseArchive) {
    const CacheEntry& entry = run.entry;
    EntryFacts facts;
    const std::vector<std::string> crashed = crashedUses(entry);
    facts.crashedInUse = !crashed.empty();
    facts.cacheExists = platform::fileStatus(entry.cache).isRegularFile();
    if (facts.cacheExists) facts.integrity = checkRecord(entry);
    if (kind == CacheKind::archive && facts.cacheExists &&
        facts.integrity == Integrity::unrecorded) {
        facts.wholeAtFirstSight = isCompleteDynamicArchive(entry.cache, baseArchive);
    }
    facts.memo = readMemo(entry);
    EntryDecision decision = decideEntry(facts);
    if (decision.step == CacheStep::write) {
        facts.roomShortfall = roomShortfall(input, platform::directoryOf(entry.cache), kind);
        decision = decideEntry(facts);
    }
    if (decision.step == CacheStep::use) {
        // First seen whole: recorded, and an earlier failure is forgotten.
        if (decision.recordNow && writeRecord(entry)) platform::removeFile(entry.memo());
        return use(run, kind, *input.runtimeVersion, decision.recordNow);
    }
    if (decision.waitOneLaunch) {
        FailureMemo memo = facts.memo;
        --memo.launchesToWait;
        writeMemo(entry, memo);
    }
    if (decision.step == CacheStep::off && !decision.discard) {
        return off(entry.cache + ": " + decision.why);
    }
    run.lock = platform::FileLock::tryAcquire(entry.lock());
    if (!run.lock.held() || !clearLeftovers(entry)) {
        run.lock.release();
        return busy(kind, entry);
    }
    if (decision.discard &&
        !(platform::removeFile(entry.cache) && platform::removeFile(entry.record()))) {
        run.lock.release();
        return off("cannot replace " + entry.cache + " (" + decision.why + ")");
    }
    // The crashes spoke of the cache that is gone now.
    for (const std::string& mark : crashed) platform::removeFile(mark);
    // What the leftovers said may change the decision.
    facts.cacheExists = false;
    facts.crashedInUse = false;
    facts.memo = readMemo(entry);
    decision = decideEntry(facts);
    if (decision.step != CacheStep::write) {
        run.lock.release();
        return off(entry.cache + ": " + decision.why);
    }
    // A record left of a cache removed by hand would judge the new one.
    platform::removeFile(entry.record());
    return write(run, kind, input, library);
}

SharingPlan planRun(CacheRun& run, const SharingInput& input) {
    const CacheKind kind = cacheKindFor(input.runtimeVersion);
    if (kind == CacheKind::none) return {{}, notAvailable};
    const std::string library = platform::resolvedPath(input.runtimeLibrary);
    const std::string home = platform::directoryOf(runtimeReleaseFile(library));
    const std::string baseArchive =
        platform::joinPath(platform::directoryOf(library), baseArchiveName);
    if (kind == CacheKind::archive && !platform::fileStatus(baseArchive).isRegularFile()) {
        return {{}, std::string(notAvailable) + " (no " + baseArchive + ")"};
    }
    if (const std::optional<CacheStopper> stopper =
            optionKeepingCacheOff(input.givenOptions, kind)) {
        return off(stopper->option.text + " in " + stopper->option.source + " " + stopper->why);
    }
    // Every jar and folder the VM can load classes from, the manifests' too.
    SharingInput reached = input;
    reached.classPath = reachableClassPath(input.classPath);
    const std::string filled = directoryHoldingFiles(
        reached.classPath, kind == CacheKind::aotCache ? Contents::anyFile : Contents::classFiles);
    if (!filled.empty()) {
        return off(filled + (kind == CacheKind::aotCache ? " on the class path is not empty"
                                                         : " on the class path holds class files"));
    }
    if (reached.cacheDirectory.empty()) return off("no user cache directory");
    const std::string folder =
        gameFolderIn(reached.cacheDirectory, reached.gameName, reached.gameDirectory);
    // The VM reads a list of archives from the option, split at the class
    // path separator; the assembly's request holds one item a line.
    if (folder.find(platform::classPathSeparator) != std::string::npos) {
        return off(folder + " contains '" + std::string(1, platform::classPathSeparator) + "'");
    }
    if (kind == CacheKind::aotCache && anyHoldsNewline(backgroundOptions(reached.givenOptions))) {
        return off("a VM option holds a line break");
    }
    if (!platform::makeDirectories(folder) || !platform::canCreateFilesIn(folder)) {
        return off("cannot write to " + folder);
    }
    // Folders of games moved, uninstalled or long unused go, once a day.
    noteGameDirectory(folder, reached.gameDirectory);
    tidyGameFolders(launcherFolderIn(reached.cacheDirectory), folder, FolderPart::cacheData,
                    platform::fileTimeNow());
    std::vector<std::string> runtimeFiles{library};
    if (kind == CacheKind::archive) {
        runtimeFiles.push_back(baseArchive);
    } else {
        runtimeFiles.push_back(runtimeReleaseFile(library));
        runtimeFiles.push_back(platform::joinPath(platform::joinPath(home, "lib"), "modules"));
    }
    run.entry.cache = platform::joinPath(
        folder, "classes-" +
                    digestOf(identityOf(runtimeFiles, reached, kind == CacheKind::aotCache)) +
                    (kind == CacheKind::archive ? ".jsa" : ".aot"));
    removeOtherEntries(run.entry);
    return planEntry(run, kind, reached, library, baseArchive);
}

}  // namespace

StartupCacheLaunch::StartupCacheLaunch(const SharingInput& input)
    : run_(std::make_unique<CacheRun>()), plan_(planRun(*run_, input)) {
    static const bool registered = std::atexit(&StartupCacheLaunch::endOfProcess) == 0;
    static_cast<void>(registered);
    endingLaunch = this;
}

StartupCacheLaunch::~StartupCacheLaunch() {
    StartupCacheLaunch* self = this;
    endingLaunch.compare_exchange_strong(self, nullptr);
}

void StartupCacheLaunch::startBackgroundWork() {
    if (run_->assemblyToken.empty() || startAssembly(run_->entry, run_->assemblyToken)) return;
    run_ = std::make_unique<CacheRun>();
    plan_ = off("its assembly could not start");
}

void StartupCacheLaunch::vmStarted() {
    CacheRun& run = *run_;
    run.starting = false;
    if (run.mapLog.empty()) return;
    const std::string log =
        platform::readFile(run.mapLog, longestMapLog, platform::OverLimit::cut).bytes;
    platform::removeFile(run.mapLog);
    if (log.find("Mapped dynamic region") != std::string::npos &&
        log.find("Unable to") == std::string::npos) {
        platform::removeFile(run.entry.refusal());
        return;
    }
    writeOut("Class data sharing: the VM did not map " + run.entry.cache +
             "; it is written anew at the next launch");
    // Once more is enough: an archive that the VM refuses right after it
    // wrote it would only be written again and again.
    if (run.freshUse && platform::fileStatus(run.entry.refusal()).exists()) {
        noteFailure(run.entry, "the VM did not map it, twice", Retry::never);
    } else {
        platform::writeFileAtomically(run.entry.refusal(), "refused\n");
    }
    platform::removeFile(run.entry.cache);
    platform::removeFile(run.entry.record());
}

void StartupCacheLaunch::vmEnded() {
    CacheRun& run = *run_;
    if (run.ended.exchange(true)) return;
    // What the VM wrote (read-only, or readable by all) becomes the user's
    // alone, as every file of the cache.
    if (!run.writtenPart.empty() &&
        platform::renameFileNow(run.writtenPart.c_str(), run.writtenName.c_str())) {
        platform::keepPrivate(run.writtenName);
    }
    if (run.use.marked()) platform::removeFileNow(run.use.mark().c_str());
}

void StartupCacheLaunch::vmStarting(const std::vector<std::string>& asGiven) {
    run_->restart = platform::PreparedStart(asGiven, refusedVariable, run_->entry.cache);
    run_->starting = true;
}

void StartupCacheLaunch::vmRefused() {
    run_->starting = false;
    run_->restart.replaceProcessNow();
}

// The process exits: inside the VM's exit, or after main's end. A VM that
// ends the process while it is created with the cache's options refused
// them: the launch starts again without them. Nothing here allocates.
void StartupCacheLaunch::endOfProcess() {
    StartupCacheLaunch* launch = endingLaunch.load();
    if (launch == nullptr) return;
    if (launch->run_->starting) launch->run_->restart.replaceProcessNow();
    launch->vmEnded();
}

std::optional<std::string> cacheRefusedByAnEarlierStart() {
    const char* cache = std::getenv(refusedVariable);
    if (cache == nullptr) return std::nullopt;
    std::string refused = cache;
    platform::unsetEnvironment(refusedVariable);
    return refused;
}

SharingPlan withoutRefusedCache(const std::string& cache) {
    noteFailure(CacheEntry{cache}, "the VM did not start with it", Retry::later);
    return off("the VM did not start with " + cache + "; this launch goes on without it");
}

std::uint64_t archiveRoomNeeded(std::uint64_t classPathBytes) {
    return (std::uint64_t(48) << 20) + classPathBytes * 9 / 2;
}

std::uint64_t classPathBytes(const std::vector<std::string>& classPath) {
    std::uint64_t bytes = 0;
    for (const std::string& entry : classPath) {
        const platform::FileStatus status = platform::fileStatus(entry);
        if (status.exists() && !status.isDirectory()) bytes += status.size;
    }
    return bytes;
}

}  // namespace tessvik
