// The script interpreter: statements, words and quoting, typed results, and the dispatch of a
// statement to a built-in, a rig fake or a plug-in command.
#include <cmath>
#include <cstdlib>
#include <unordered_map>

#include "interp.h"
#include "scene.h"
#include "tplugin.h"

namespace tulo_detail {

Session& session() {
    static Session s;
    return s;
}

void display(const std::string& line) {
    note(line);
    if (session().echo) session().echo(line);
}

std::string escapeText(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        default: out += c;
        }
    }
    return out + "\"";
}

std::string Result::text() const {
    std::string out;
    for (const ResultValue& v : values) {
        if (!out.empty()) out += ' ';
        if (v.type == ResultValue::Text) out += v.text;
        else if (v.type == ResultValue::Int) out += std::to_string(toInt64(v.num));
        else out += tuloFormatDouble(v.num);
    }
    return out;
}

namespace {

bool blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

}  // namespace

namespace {

// "name(arg, ...)" stands for "name arg ...".
void expandCallForm(Statement& st) {
    Word& first = st.front();
    std::size_t open = first.text.find('(');
    if (first.quoted || open == std::string::npos || open == 0 || first.text.back() != ')') return;
    std::string inner = first.text.substr(open + 1, first.text.size() - open - 2);
    first.text.resize(open);
    std::vector<Word> args;
    for (std::size_t start = 0; start < inner.size();) {
        std::size_t comma = inner.find(',', start);
        if (comma == std::string::npos) comma = inner.size();
        std::string a = inner.substr(start, comma - start);
        while (!a.empty() && blank(a.front())) a.erase(0, 1);
        while (!a.empty() && blank(a.back())) a.pop_back();
        if (!a.empty()) args.push_back({a, false});
        start = comma + 1;
    }
    st.insert(st.begin() + 1, args.begin(), args.end());
}

}  // namespace

bool parseScript(const std::string& text, std::vector<Statement>& out, std::string& error, std::vector<int>* lines,
                 int* errorLine) {
    out.assign(1, Statement());
    std::vector<int> starts(1, 0);
    std::string word;
    bool inWord = false;
    int line = 1;
    auto addWord = [&](Word w) {
        if (out.back().empty()) starts.back() = line;
        out.back().push_back(std::move(w));
    };
    auto endWord = [&] {
        if (inWord) addWord({word, false});
        word.clear();
        inWord = false;
    };
    auto endStatement = [&] {
        endWord();
        if (!out.back().empty()) out.emplace_back(), starts.push_back(0);
    };
    // Keeps the complete statements before the faulty one.
    auto finish = [&](bool ok) {
        if (!ok) {
            if (errorLine) *errorLine = out.back().empty() ? line : starts.back();
            out.back().clear();
        } else {
            endStatement();
        }
        if (out.back().empty()) out.pop_back(), starts.pop_back();
        for (Statement& st : out) expandCallForm(st);
        if (lines) *lines = starts;
        return ok;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == ';' || c == '\n') {
            endStatement();
            line += c == '\n';
        } else if (blank(c)) {
            endWord();
        } else if (c == '/' && !inWord && i + 1 < text.size() && text[i + 1] == '/') {
            while (i + 1 < text.size() && text[i + 1] != '\n') ++i;  // a comment to the line's end
        } else if (c == '"') {
            if (inWord) return error = "Syntax error: quote inside the word \"" + word + "\"", finish(false);
            int startLine = line;
            std::string quoted;
            std::size_t j = i + 1;
            for (; j < text.size() && text[j] != '"'; ++j) {
                line += text[j] == '\n';
                if (text[j] != '\\' || j + 1 >= text.size()) {
                    quoted += text[j];
                    continue;
                }
                char e = text[++j];
                line += e == '\n';
                switch (e) {
                case 'n': quoted += '\n'; break;
                case 't': quoted += '\t'; break;
                case '"':
                case '\\': quoted += e; break;
                default: quoted += '\\', quoted += e;  // other escapes stay as written
                }
            }
            if (j >= text.size()) {
                line = startLine;
                return error = "Syntax error: unterminated string", finish(false);
            }
            if (j + 1 < text.size() && !blank(text[j + 1]) && text[j + 1] != ';' && text[j + 1] != '\n')
                return error = "Syntax error: a string must be followed by a blank, \";\" or the end", finish(false);
            int afterLine = line;
            line = startLine;
            addWord({quoted, true});
            line = afterLine;
            i = j;
        } else {
            if (!inWord && out.back().empty()) starts.back() = line;
            word += c;
            inWord = true;
        }
    }
    return finish(true);
}

bool parseNumber(const std::string& s, double& v) {
    if (s.empty()) return false;
    char* end = nullptr;
    v = std::strtod(s.c_str(), &end);
    return end == s.c_str() + s.size();
}

bool parseInt(const std::string& s, int& v) {
    double d;
    // The range first: converting a number beyond it (or NaN) to an integer is undefined.
    if (!parseNumber(s, d) || !(d >= -2147483648.0 && d <= 2147483647.0) || d != std::trunc(d)) return false;
    v = static_cast<int>(d);
    return true;
}

bool parseBool(const std::string& s, bool& v) {
    if (s == "true" || s == "on" || s == "yes") return v = true, true;
    if (s == "false" || s == "off" || s == "no") return v = false, true;
    double d;
    if (!parseNumber(s, d)) return false;
    v = d != 0;
    return true;
}

bool Call::fail(const std::string& message) {
    error = name + ": " + message;
    return false;
}

bool Call::flags(std::initializer_list<FlagRule> rules) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const Word& w = args[i];
        double number;
        if (w.quoted || w.text.size() < 2 || w.text[0] != '-' || parseNumber(w.text, number)) {
            positional.push_back(w.text);
            continue;
        }
        const FlagRule* rule = nullptr;
        const std::string_view flag = std::string_view(w.text).substr(1);
        for (const FlagRule& f : rules)
            if (flag == f.longName || flag == f.shortName) rule = &f;
        if (!rule) {
            fault("unknown flag", name + " " + w.text);
            return fail("Invalid flag '" + w.text + "'");
        }
        if (rule->args > 0 && i + static_cast<std::size_t>(rule->args) >= args.size())
            return fail("Flag '" + w.text + "' needs " + std::to_string(rule->args) + " argument(s)");
        auto at = flagValues.find(rule->longName);
        if (at == flagValues.end()) at = flagValues.emplace(rule->longName, std::vector<std::string>()).first;
        std::vector<std::string>& values = at->second;
        seen.push_back(rule->longName);
        for (int k = 0; k < rule->args; ++k) values.push_back(args[++i].text);
    }
    return true;
}

bool Call::has(const char* longName) const { return flagValues.count(longName) != 0; }

const std::string& Call::value(const char* longName, std::size_t k) const {
    static const std::string none;
    auto it = flagValues.find(longName);
    return it == flagValues.end() || k >= it->second.size() ? none : it->second[k];
}

namespace {

bool runPluginCommand(const CommandReg& reg, Call& call) {
    TArgList args;
    for (const Word& w : call.args) args.append(w.text);
    TPxCommand* cmd = reg.creator ? reg.creator() : nullptr;
    if (!cmd) return call.fail("the plug-in made no command object");
    Result* saved = session().commandResult;
    session().commandResult = &call.result;
    std::string outer = crashNote();
    setCrashNote("the plug-in command \"" + call.name + "\"");
    const int errorsBefore = session().displayedErrors;
    TStatus status = cmd->doIt(args);
    setCrashNote(outer);
    session().commandResult = saved;
    delete cmd;
    if (!status) {
        // A command that showed its own error has said why; the status adds only "unexpected failure".
        call.error = "the plug-in command \"" + call.name + "\" failed";
        if (session().displayedErrors == errorsBefore) call.error += " " + status.errorString().str();
        return false;
    }
    return true;
}

TStatus runStatement(const Statement& st, Result& result, std::string& error) {
    Call call(st.front().text, std::vector<Word>(st.begin() + 1, st.end()), result);
    result.clear();
    Session& s = session();
    bool ok;
    if (const Builtin* b = findBuiltin(call.name)) {
        ok = b->run(call);
    } else if (s.rigEnabled && findRigFake(call.name)) {
        ok = findRigFake(call.name)->run(call);
    } else {
        auto it = s.commands.find(call.name);
        if (it == s.commands.end()) {
            error = "Cannot find procedure \"" + call.name + "\".";
            return TStatus::kFailure;
        }
        CommandReg reg = it->second;  // the command may deregister itself
        ok = runPluginCommand(reg, call);
    }
    if (!ok) error = call.error.empty() ? call.name + ": failed" : call.error;
    return ok ? TStatus::kSuccess : TStatus::kFailure;
}

}  // namespace

bool commandExists(const std::string& name) {
    return findBuiltin(name) || (session().rigEnabled && findRigFake(name)) || session().commands.count(name);
}

TStatus runScript(const std::string& text, Result& result, bool displayIt, bool) {
    std::vector<Statement> statements;
    std::vector<int> lines;
    std::string syntax, error;
    int syntaxLine = 0;
    result.clear();
    bool parsed = parseScript(text, statements, syntax, &lines, &syntaxLine);
    // Only the host program's own texts carry a source; the plug-in's commands run inside them.
    std::string source = session().depth == 0 ? session().source : "";
    auto fail = [&](int line, const std::string& what) {
        std::string located = source.empty() ? what : source + ", line " + std::to_string(line) + ": " + what;
        if (displayIt) display("// Error: " + located);
        lastError() = located;
        return TStatus(TStatus::kFailure);
    };
    ++session().depth;
    TStatus status;
    for (std::size_t i = 0; i < statements.size() && status; ++i) {
        status = runStatement(statements[i], result, error);
        if (!status) fail(lines[i], error);
        else if (displayIt && !result.values.empty()) display("// Result: " + result.text());
    }
    --session().depth;
    if (status && !parsed) status = fail(syntaxLine, syntax);
    return status;
}

std::string& lastError() {
    static std::string e;
    return e;
}

}  // namespace tulo_detail
