// kivpack's help compiler. Any input either fails with file:line messages
// and no output, or compiles to a help file that the reader reads back to
// the source's topics: title, context, topic titles and paragraphs.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "help_expect.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kivpack::help;
    const std::string text(reinterpret_cast<const char*>(data), size);
    HelpSource source;
    std::vector<std::string> errors;
    std::vector<uint8_t> file;
    if (!ParseHelpSource(text, "fuzz.src", source, errors)) {
        FUZZ_CHECK(!errors.empty());
        for (const std::string& e : errors) FUZZ_CHECK(e.rfind("fuzz.src:", 0) == 0);
        FUZZ_CHECK(!CompileHelpSource(text, "fuzz.src", file, errors) && file.empty());
        return 0;
    }
    FUZZ_CHECK(CompileHelpSource(text, "fuzz.src", file, errors));
    HelpDocument doc;
    std::string error;
    FUZZ_CHECK(ReadHelpFile(file.data(), file.size(), doc, error));
    FUZZ_CHECK(SameDocument(doc, ExpectedDocument(source)));
    return 0;
}
