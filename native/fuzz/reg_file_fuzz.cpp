// The registry file reader, over any .reg file a user may bring. A file it
// accepts must write out as a file that reads back to the same value, and
// that writes out again to the same bytes.
#include "fuzz_support.h"

#include "reg_file.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

bool SameContent(const SRegFileContent& a, const SRegFileContent& b)
{
    return a.bDelete == b.bDelete && a.map == b.map;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    // A refused file leaves what it was given to fill as it was.
    SRegFileContent content;
    content.map = {0xAB};
    if (!ParseRegFile(pData, nSize, &content).empty()) {
        FUZZ_CHECK(!content.bDelete && content.map == std::vector<unsigned char>{0xAB});
        return 0;
    }
    // A map it takes, checked from its bytes, not by CheckMapBytes, which the
    // reader calls itself: as many entries as its count says, the null entry
    // last, no more than the 1024 bytes Windows reads.
    const std::vector<unsigned char>& map = content.map;
    if (!content.bDelete) {
        FUZZ_CHECK(map.size() >= 16 && map.size() <= 1024 && map.size() % 4 == 0);
        FUZZ_CHECK(map.size() / 4 - 3 == (map[8] | map[9] << 8 | map[10] << 16 | size_t(map[11]) << 24));
        FUZZ_CHECK(std::count(map.end() - 4, map.end(), 0) == 4);
    }

    const std::vector<unsigned char> written = MakeRegFile(content);
    SRegFileContent reread;
    FUZZ_CHECK(ParseRegFile(written.data(), written.size(), &reread).empty());
    FUZZ_CHECK(SameContent(content, reread));
    FUZZ_CHECK(MakeRegFile(reread) == written);
    return 0;
}
