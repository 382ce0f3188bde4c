// The decisions about crash reports: which options a launch adds, and what
// the crashes folder keeps and announces. Pure functions of their inputs.
#include "crash_reports.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <optional>
#include <utility>

#include "game_layout.h"
#include "platform/paths.h"
#include "starts_with.h"

namespace tessvik {

namespace {

constexpr const char* pidMark = "_pid";
constexpr std::size_t timeTextLength = 15;  // "20261207-221503"
constexpr std::size_t longestPid = 18;      // digits that fit the key's number

// A crash: its launch time and process id. Later times, then larger ids, are
// newer.
using CrashKey = std::pair<std::string, unsigned long long>;

bool isTimeText(const std::string& text) {
    if (text.size() != timeTextLength || text[8] != '-') return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i != 8 && !std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    }
    return true;
}

// The crash a file of the folder belongs to, when its name is one the
// launcher gives: <start><time>_pid<digits>.log.
std::optional<CrashKey> crashOf(const std::string& name, const std::string& start) {
    const std::string suffix = crashFileSuffix;
    if (!startsWith(name, start) || name.size() <= start.size() + timeTextLength + suffix.size() ||
        !endsWith(name, suffix)) {
        return std::nullopt;
    }
    const std::string time = name.substr(start.size(), timeTextLength);
    const std::string rest = name.substr(
        start.size() + timeTextLength, name.size() - start.size() - timeTextLength - suffix.size());
    if (!isTimeText(time) || !startsWith(rest, pidMark)) return std::nullopt;
    const std::string pid = rest.substr(std::string(pidMark).size());
    if (pid.empty() || pid.size() > longestPid || !std::all_of(pid.begin(), pid.end(), [](char c) {
            return std::isdigit(static_cast<unsigned char>(c));
        })) {
        return std::nullopt;
    }
    return CrashKey{time, std::stoull(pid)};
}

// The VM expands "%p" to its process id and "%%" to '%' in both file options,
// so a '%' of the folder's path is doubled.
std::string escapedForVm(const std::string& path) {
    std::string escaped;
    for (char c : path) {
        escaped += c;
        if (c == '%') escaped += '%';
    }
    return escaped;
}

}  // namespace

std::string launchTimeText(const std::tm& launchTime) {
    char text[32];
    if (std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &launchTime) != timeTextLength) {
        return "00000000-000000";
    }
    return text;
}

CrashReportPlan planCrashReports(const std::string& stateDirectory, const std::string& gameName,
                                 const std::string& gameDirectory,
                                 const std::vector<GivenVmOption>& given,
                                 const std::tm& launchTime) {
    CrashReportPlan plan;
    // The VM writes its report and runs the OnError commands after it, which
    // may look for the report where the VM puts it by itself.
    const bool reportChosen = lastOptionNamed(given, "ErrorFile").has_value() ||
                              lastOptionNamed(given, "OnError").has_value();
    const bool replayChosen = lastOptionNamed(given, "ReplayDataFile").has_value();
    if (stateDirectory.empty() || (reportChosen && replayChosen)) return plan;

    const std::string folder = platform::joinPath(
        gameFolderIn(stateDirectory, gameName, gameDirectory), crashesFolderName);
    const std::string time = launchTimeText(launchTime);
    plan.crashesFolder = folder;
    if (!reportChosen) {
        plan.folder = folder;
        plan.reportPrefix = reportNameStart + time + pidMark;
        plan.options.push_back(
            "-XX:ErrorFile=" + escapedForVm(platform::joinPath(folder, plan.reportPrefix)) + "%p" +
            crashFileSuffix);
    }
    if (!replayChosen) {
        const std::string replayPrefix = replayNameStart + time + pidMark;
        plan.options.push_back(
            "-XX:ReplayDataFile=" + escapedForVm(platform::joinPath(folder, replayPrefix)) + "%p" +
            crashFileSuffix);
    }
    return plan;
}

CrashFolderReview reviewCrashFolder(const std::vector<std::string>& names,
                                    const std::string& lastAnnounced) {
    // Every crash, newest first, with its files; and the newest report.
    std::map<CrashKey, std::vector<std::string>, std::greater<CrashKey>> crashes;
    std::optional<std::pair<CrashKey, std::string>> newestReport;
    for (const std::string& name : names) {
        std::optional<CrashKey> key = crashOf(name, reportNameStart);
        if (key && (!newestReport || *key > newestReport->first)) newestReport.emplace(*key, name);
        if (!key) key = crashOf(name, replayNameStart);
        if (key) crashes[*key].push_back(name);
    }

    CrashFolderReview review;
    std::size_t seen = 0;
    for (const auto& [key, files] : crashes) {
        if (++seen <= keptCrashes) continue;
        review.removed.insert(review.removed.end(), files.begin(), files.end());
        if (newestReport && newestReport->first == key) newestReport.reset();
    }
    const std::optional<CrashKey> announcedBefore = crashOf(lastAnnounced, reportNameStart);
    if (newestReport && (!announcedBefore || newestReport->first > *announcedBefore)) {
        review.announced = newestReport->second;
    }
    return review;
}

std::string crashAnnouncement(const std::string& reportPath) {
    return "The last launch ended in a crash; its report is " + reportPath;
}

std::string errorFilePattern(const std::vector<GivenVmOption>& given, const CrashReportPlan& plan) {
    if (const std::optional<GivenVmOption> own = lastOptionNamed(given, "ErrorFile")) {
        return own->text.substr(own->text.find('=') + 1);
    }
    for (const std::string& option : plan.options) {
        if (xxOptionName(option) == "ErrorFile") return option.substr(option.find('=') + 1);
    }
    return {};
}

}  // namespace tessvik
