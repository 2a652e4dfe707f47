// Internals of the script interpreter shared by its parser, built-ins and rig fakes.
#pragma once

#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "session.h"
#include "tplug.h"

namespace tulo_detail {

struct Word {
    std::string text;
    bool quoted = false;
};
using Statement = std::vector<Word>;

// Statements split on ";" or a line break, words on blanks; a quoted string must be followed by
// a blank, ";" or the end. "name(a, b)" stands for "name a b". `lines` gets the line on which each
// statement starts. On a syntax error `out` keeps the statements before the faulty one and
// `errorLine` names the faulty one's line.
bool parseScript(const std::string& text, std::vector<Statement>& out, std::string& error,
                 std::vector<int>* lines = nullptr, int* errorLine = nullptr);
bool parseNumber(const std::string& s, double& v);  // the whole text
bool parseInt(const std::string& s, int& v);        // a whole number
bool parseBool(const std::string& s, bool& v);

struct FlagRule {
    const char* longName;
    const char* shortName;
    int args;
};

// One statement on its way through a command.
struct Call {
    Call(std::string n, std::vector<Word> a, Result& r) : name(std::move(n)), args(std::move(a)), result(r) {}
    std::string name;
    std::vector<Word> args;
    Result& result;
    std::string error;
    // By long name, repeats appended; looked up by the rule's own text without a copy.
    std::map<std::string, std::vector<std::string>, std::less<>> flagValues;
    std::vector<std::string> seen;                               // flags in order
    std::vector<std::string> positional;

    // Sorts the words into flags and positional words; an unknown flag fails and is a host fault.
    bool flags(std::initializer_list<FlagRule> rules);
    bool has(const char* longName) const;
    const std::string& value(const char* longName, std::size_t k = 0) const;
    bool fail(const std::string& message);  // always false
};

struct Builtin {
    bool (*run)(Call&);
};
const Builtin* findBuiltin(const std::string& name);
const Builtin* findRigFake(const std::string& name);
bool commandExists(const std::string& name);
std::string& lastError();  // the last command error, for TStatus texts
// What runs now, for the host program's crash report ("" outside plug-in commands).
std::string crashNote();
void setCrashNote(const std::string& note);

// Script names: a node by name or unique path suffix, a plug by "node.attr[i].child" or by the
// element's label. A name that matches no node or several fails the command.
bool resolveNode(Call& call, const std::string& name, TObject& node);
// The live nodes a script name matches (by name, or by path suffix when it holds "|").
std::vector<std::uint32_t> nameMatches(const std::string& name);
bool resolvePlug(Call& call, const std::string& text, TPlug& plug);

}  // namespace tulo_detail
