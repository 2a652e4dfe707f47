// Arbitrary script text through the stand-in host's interpreter on a small scene. Texts naming
// the file commands are only parsed, so a run reads and writes no files.
#include <cstddef>
#include <cstdint>
#include <string>

#include "interp.h"
#include "standin.h"
#include "tglobal.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<tulo_detail::Statement> statements;
    std::string error;
    tulo_detail::parseScript(text, statements, error);
    if (text.find("standin_dump") != std::string::npos || text.find("file") != std::string::npos) return 0;
    standin::reset();
    standin::resetSession();
    standin::rig().enable(true);
    standin::clearTranscript();
    standin::takeFaults();
    standin::buildScene("cameras");
    TStringArray result;
    TGlobal::executeCommand(TString(text), result, true, false);
    return 0;
}
