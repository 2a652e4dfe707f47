// tulo-standin: the stand-in host program. Loads plug-ins, runs script texts and files with their
// results echoed ("// Result:", "// Error:"), unloads the plug-ins and reports host faults.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "standin.h"
#include "tglobal.h"
#include "tunits.h"

namespace {

const char kUsage[] =
    "usage: tulo-standin [--plugin P]... [--answer T]... [--units] [--interactive] [--strict] [--progress]\n"
    "                    [-c CMDS] [SCRIPT]...\n"
    "  --plugin P     load plug-in P (a path, or a name on TULO_PLUG_IN_PATH)\n"
    "  --answer T     queue T as the answer of the next dialog: a button's label, or dismiss\n"
    "  --units        UI units inch, radians and 30 frames per second (default cm, degrees, 24)\n"
    "  --interactive  answer 0 to \"about -b\" (default: batch mode)\n"
    "  --strict       fail when any host fault was recorded\n"
    "  --progress     a line when each text or script starts, and one with its status and duration when it ends\n"
    "  -c CMDS        run script text; SCRIPT runs a script file; both in the order given\n";

// What --answer takes: the button labels of the dialogs the plug-in shows, blanks included, and
// "dismiss" for a dialog closed without a button. Any other word would match no button and pass
// for the dialog's first.
const char* const kAnswers[] = {"Ok",       "Yes",          "No",       "Import",            "Export",
                                "Cancel",   " Unlock All ", " Unlock ", " Keep All Locked ", "dismiss"};

bool knownAnswer(const std::string& answer) {
    for (const char* known : kAnswers)
        if (answer == known) return true;
    return false;
}

// Before anything runs: a script answered with a misspelt word would go its other way unnoticed.
int refuseAnswer(const std::string& answer) {
    std::cerr << "tulo-standin: unknown answer \"" << answer << "\" for --answer; the answers are";
    for (const char* known : kAnswers) std::cerr << (known == kAnswers[0] ? " \"" : ", \"") << known << "\"";
    std::cerr << "\n" << kUsage;
    return 2;
}

struct Job {
    bool text;
    std::string value;
    std::string source;  // how messages name it
};

// The start of a text as a progress line shows it: its first line, shortened.
std::string excerpt(const std::string& text) {
    constexpr std::size_t kMost = 72;
    std::string line = text.substr(0, text.find('\n'));
    bool cut = line.size() < text.size();
    if (line.size() > kMost) {
        line.resize(kMost);
        cut = true;
    }
    return cut ? line + " ..." : line;
}

std::string seconds(std::chrono::steady_clock::duration d) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", std::chrono::duration<double>(d).count());
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> plugins;
    std::vector<Job> jobs;
    bool units = false, interactive = false, strict = false, progress = false;
    int texts = 0;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool more = i + 1 < argc;
        if (a == "--plugin" && more) plugins.push_back(argv[++i]);
        else if (a == "--answer" && more) {
            if (!knownAnswer(argv[i + 1])) return refuseAnswer(argv[i + 1]);
            standin::dialogs().push(argv[++i]);
        }
        else if (a == "--units") units = true;
        else if (a == "--interactive") interactive = true;
        else if (a == "--strict") strict = true;
        else if (a == "--progress") progress = true;
        else if (a == "-c" && more) jobs.push_back({true, argv[++i], "-c argument " + std::to_string(++texts)});
        else if (a == "--help" || a == "-h") return std::cout << kUsage, 0;
        else if (!a.empty() && a[0] != '-') jobs.push_back({false, a, "script " + a});
        else return std::cerr << "tulo-standin: unknown or incomplete option \"" << a << "\"\n" << kUsage, 2;
    }
    standin::setBatch(!interactive);
    if (units) standin::setUnits(TDistance::kInches, TAngle::kRadians, TTime::kNTSCFrame);
    standin::setEcho([](const std::string& line) { std::cout << line << std::endl; });
    standin::reportCrashes();

    bool ok = true;
    for (const std::string& p : plugins) {
        std::string error;
        if (!standin::loadPlugin(p, &error)) {
            std::cerr << "tulo-standin: " << error << "\n";
            ok = false;
        }
    }
    std::size_t done = 0;
    for (; ok && done < jobs.size(); ++done) {
        const Job& job = jobs[done];
        // Progress goes to the stream the results go to, so that the two stay in order.
        const auto start = std::chrono::steady_clock::now();
        if (progress)
            std::cout << "// Progress: " << job.source << " started" << (job.text ? ": " + excerpt(job.value) : "")
                      << std::endl;
        std::string text = job.value;
        if (!job.text) {
            std::ifstream in(job.value, std::ios::binary);
            std::stringstream s;
            if (in) s << in.rdbuf();
            if (!in) std::cerr << "tulo-standin: cannot read " << job.value << "\n";
            ok = static_cast<bool>(in);
            text = s.str();
        }
        if (ok && !standin::runProgramText(text, job.source)) ok = false;
        if (progress)
            std::cout << "// Progress: " << job.source << (ok ? " succeeded in " : " failed in ")
                      << seconds(std::chrono::steady_clock::now() - start) << std::endl;
    }
    if (done < jobs.size()) {
        std::cerr << "tulo-standin: not run after the failure:";
        for (std::size_t i = done; i < jobs.size(); ++i) std::cerr << (i > done ? "," : "") << " " << jobs[i].source;
        std::cerr << "\n";
    }
    std::string error;
    if (!standin::unloadAllPlugins(&error)) {
        std::cerr << "tulo-standin: " << error << "\n";
        ok = false;
    }
    // Answers meant for dialogs that never came: the script and its answers disagree.
    std::vector<standin::DialogAnswer> unused = standin::dialogs().reportUnused();
    if (!unused.empty()) {
        std::cerr << "tulo-standin: " << unused.size() << " --answer value(s) never used by a dialog:";
        for (const auto& a : unused) std::cerr << " \"" << a.text << "\"";
        std::cerr << "\n";
    }
    const auto& faults = standin::faults();
    for (const auto& f : faults) std::cerr << "// Host fault: " << f.kind << ": " << f.text << "\n";
    if (strict && !faults.empty()) ok = false;
    return ok ? 0 : 1;
}
