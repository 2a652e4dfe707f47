// Script entry points of the host API and the test API's view of the session: dialogs, the rig
// fakes, batch mode and the echo of display lines.
#include <algorithm>
#include <csignal>
#include <cstring>
#include <unistd.h>

#include "interp.h"
#include "scene.h"
#include "tglobal.h"

using namespace tulo_detail;

namespace {

// Runs a text and records it in the transcript with its flags, status and result.
TStatus execute(const TString& command, Result& result, bool displayIt, bool undo) {
    Scene& s = scene();
    std::size_t at = s.transcript.size();
    note("command: " + escapeText(command.str()) + " display " + std::to_string(displayIt) + " undo " +
         std::to_string(undo));
    TStatus status = runScript(command.str(), result, displayIt, undo);
    std::string outcome = status ? " -> ok" + (result.values.empty() ? "" : ": " + result.text())
                                 : " -> failed: " + lastError();
    if (at < s.transcript.size()) s.transcript[at] += outcome;
    return status;
}

TStatus mismatch(const TString& command, const char* wanted) {
    note("// Error: the result of " + escapeText(command.str()) + " is not " + wanted);
    return TStatus::kFailure;
}

bool numeric(const ResultValue& v) { return v.type != ResultValue::Text; }

}  // namespace

TStatus TGlobal::executeCommand(const TString& command, bool displayIt, bool undo) {
    Result r;
    return execute(command, r, displayIt, undo);
}

TStatus TGlobal::executeCommand(const TString& command, int& result, bool displayIt, bool undo) {
    Result r;
    TStatus status = execute(command, r, displayIt, undo);
    if (!status) return status;
    if (r.isArray || r.values.size() != 1 || r.values[0].type != ResultValue::Int) return mismatch(command, "an int");
    result = static_cast<int>(toInt64(r.values[0].num));
    return status;
}

TStatus TGlobal::executeCommand(const TString& command, double& result, bool displayIt, bool undo) {
    Result r;
    TStatus status = execute(command, r, displayIt, undo);
    if (!status) return status;
    if (r.isArray || r.values.size() != 1 || !numeric(r.values[0])) return mismatch(command, "a number");
    result = r.values[0].num;
    return status;
}

TStatus TGlobal::executeCommand(const TString& command, TDoubleArray& result, bool displayIt, bool undo) {
    Result r;
    TStatus status = execute(command, r, displayIt, undo);
    if (!status) return status;
    for (const ResultValue& v : r.values)
        if (!numeric(v)) return mismatch(command, "numbers");
    result.clear();
    for (const ResultValue& v : r.values) result.append(v.num);
    return status;
}

TStatus TGlobal::executeCommand(const TString& command, TStringArray& result, bool displayIt, bool undo) {
    Result r;
    TStatus status = execute(command, r, displayIt, undo);
    if (!status) return status;
    result.clear();
    for (const ResultValue& v : r.values) {
        Result one;
        one.values.push_back(v);
        result.append(TString(one.text()));
    }
    return status;
}

namespace {

// The crash report is written from a signal handler: it reads a fixed buffer only.
char gCrashNote[512];
const int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
struct sigaction gPreviousActions[sizeof kCrashSignals / sizeof kCrashSignals[0]];

void writeAll(const char* text) {
    for (std::size_t n = std::strlen(text); n > 0;) {
        ssize_t k = ::write(2, text, n);
        if (k <= 0) return;
        text += k, n -= static_cast<std::size_t>(k);
    }
}

void onCrash(int signal) {
    char number[12];
    int k = static_cast<int>(sizeof number) - 1;
    number[k] = 0;
    int v = signal;
    do {
        number[--k] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v > 0 && k > 0);
    writeAll("tulo-standin: crashed with signal ");
    writeAll(number + k);
    if (gCrashNote[0]) writeAll(" in "), writeAll(gCrashNote);
    writeAll("\n");
    // The handler that was there before (the sanitizer's, or the default) ends the process.
    for (std::size_t i = 0; i < sizeof kCrashSignals / sizeof kCrashSignals[0]; ++i)
        if (kCrashSignals[i] == signal) sigaction(signal, &gPreviousActions[i], nullptr);
    raise(signal);
}

}  // namespace

namespace tulo_detail {
std::string crashNote() { return gCrashNote; }
void setCrashNote(const std::string& note) {
    std::size_t n = std::min(note.size(), sizeof gCrashNote - 1);
    std::memcpy(gCrashNote, note.data(), n);
    gCrashNote[n] = 0;
}
}  // namespace tulo_detail

namespace standin {

bool runProgramText(const std::string& text, const std::string& source) {
    session().source = source;
    TStatus status = TGlobal::executeCommand(TString(text), true, false);
    session().source.clear();
    return status;
}

void reportCrashes() {
    for (std::size_t i = 0; i < sizeof kCrashSignals / sizeof kCrashSignals[0]; ++i) {
        struct sigaction action {};
        action.sa_handler = onCrash;
        sigemptyset(&action.sa_mask);
        sigaction(kCrashSignals[i], &action, &gPreviousActions[i]);
    }
}

void Dialogs::push(const std::string& answer, const std::string& title) { session().answers.push_back({answer, title}); }
std::size_t Dialogs::pending() const { return session().answers.size(); }
std::vector<DialogAnswer> Dialogs::reportUnused() {
    std::vector<DialogAnswer> left(session().answers.begin(), session().answers.end());
    session().answers.clear();
    for (const DialogAnswer& a : left)
        fault("unused answer", escapeText(a.text) + (a.title.empty() ? "" : " for " + escapeText(a.title)) +
                                   " was queued but no dialog asked");
    return left;
}
const std::vector<DialogRecord>& Dialogs::records() const { return session().dialogs; }
void Dialogs::clear() {
    session().answers.clear();
    session().dialogs.clear();
}
Dialogs& dialogs() {
    static Dialogs d;
    return d;
}

namespace {
const RigCharacter* rigCharacter(int c) {
    const auto& all = session().characters;
    return c >= 0 && static_cast<std::size_t>(c) < all.size() ? &all[static_cast<std::size_t>(c)] : nullptr;
}
}  // namespace

void Rig::enable(bool on) { session().rigEnabled = on; }
void Rig::clear() { session().characters.clear(); }
int Rig::addCharacter(const std::string& name) {
    session().characters.push_back({name, {}, {}, false});
    return static_cast<int>(session().characters.size() - 1);
}
bool Rig::setLink(int c, int group, int index, const std::string& node) {
    if (!rigCharacter(c)) return false;
    session().characters[static_cast<std::size_t>(c)].links[{group, index}] = node;
    return true;
}
std::size_t Rig::characterCount() const { return session().characters.size(); }
std::string Rig::name(int c) const { return rigCharacter(c) ? rigCharacter(c)->name : ""; }
std::string Rig::link(int c, int group, int index) const {
    const RigCharacter* r = rigCharacter(c);
    if (!r) return "";
    auto it = r->links.find({group, index});
    return it != r->links.end() ? it->second : "";
}
std::vector<double> Rig::offsets(int c, int group, int index) const {
    const RigCharacter* r = rigCharacter(c);
    if (!r) return {};
    auto it = r->offsets.find({group, index});
    return it != r->offsets.end() ? it->second : std::vector<double>();
}
bool Rig::characterized(int c) const { return rigCharacter(c) && rigCharacter(c)->characterized; }
Rig& rig() {
    static Rig r;
    return r;
}

void resetSession() {
    Session& s = session();
    s.answers.clear();
    s.dialogs.clear();
    s.optionVars = {{"aeInMainWindow", 1}};
    s.batch = false;
    s.attributeEditorVisible = s.channelBoxVisible = true;
    s.rigEnabled = false;
    s.jointDisplayScale = 1;
    s.upAxis = "y";
    s.characters.clear();
    s.records.clear();
}

bool setUpAxis(const std::string& axis) {
    if (axis != "y" && axis != "z") return false;
    session().upAxis = axis;
    return true;
}

void setBatch(bool batch) { session().batch = batch; }
void setEcho(std::function<void(const std::string&)> echo) { session().echo = std::move(echo); }
const std::vector<std::string>& records() { return session().records; }
std::string dump() { return dumpScene(); }

}  // namespace standin
