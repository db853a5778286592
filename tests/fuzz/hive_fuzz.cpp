// libFuzzer target for the hive parser: any input must parse without a fault,
// and what it yields must survive writing and reading back unchanged.
#include "registry/hive_format.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace kelvo::registry;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    RegFile file = ParseRegFile(text);
    KeyNode root;
    std::vector<RegFileProblem> problems;
    ApplyRegFile(file, root, problems);

    const std::string written = SerializeRegFile(root, "HKEY_CURRENT_USER");
    RegFile again = ParseRegFile(written);
    KeyNode back;
    std::vector<RegFileProblem> problemsAgain = again.problems;
    ApplyRegFile(again, back, problemsAgain);
    if (!problemsAgain.empty()) std::abort();      // our own output must always read cleanly
    if (!(back == root)) std::abort();             // with every name, type and byte kept
    return 0;
}
