// kivpack's help file reader, on files from anywhere. It never reads outside
// the input and a refusal has a reason. What it reads, written as help
// source again and compiled, reads back the same, wherever the source syntax
// can say it: no line breaks or tabs inside a paragraph, no spaces around
// titles, contexts unique.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "help_expect.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kivpack::help;
    HelpDocument doc;
    std::string error;
    if (!ReadHelpFile(data, size, doc, error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    const std::string text = HelpSourceFromDocument(doc);
    HelpSource source;
    std::vector<std::string> errors;
    if (!ParseHelpSource(text, "dump", source, errors)) return 0;
    if (!SameDocument(ExpectedDocument(source), doc)) return 0;  // beyond what source can say
    std::vector<uint8_t> file;
    FUZZ_CHECK(CompileHelpSource(text, "dump", file, errors));
    HelpDocument again;
    FUZZ_CHECK(ReadHelpFile(file.data(), file.size(), again, error));
    FUZZ_CHECK(SameDocument(again, doc));
    return 0;
}
