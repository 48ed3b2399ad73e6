// libFuzzer target for the table, index and memo file readers.
//
// Fuzzing whole files from nothing rarely gets past a header, so the input
// is a list of edits applied to a small valid table (data, index and memo
// file): after a first byte whose low bit asks for the index pages to be
// resealed (so edits get past their checksums), each edit is
// [u8 file][u32 offset][u8 length][bytes], where file 0-2 picks DBF, CDX or
// FPT and file + 3 cuts that file at the offset. The edited table, stamped
// as its index expects, is then opened and driven through every operation.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/store/xbase/table.h"
#include "engine/store/xbase/table_exerciser.h"
#include "tests/support/temp_dir.h"

namespace {

struct Baseline {
    std::string files[3];
};

const char* const kExtensions[3] = {".DBF", ".CDX", ".FPT"};

Baseline MakeBaseline(const std::string& dir) {
    using namespace fw::xbase;
    const std::string path = dir + "BASE";
    Result r;
    auto t = Table::Create(path, {{"ID", 'N', 10}, {"URL", 'C', 60}, {"TYPE", 'C', 1}, {"NOTES", 'M', 10}},
                           Access::kExclusive, &r);
    t->CreateIndex({{"ID", "ID", "", Uniqueness::kKeepRow},
                    {"URL", "URL", ".NOT.DELETED()", Uniqueness::kNone},
                    {"LINKS", "STR(ID)+TYPE", "", Uniqueness::kRefuse}});
    for (int i = 1; i <= 600; ++i) {
        t->AppendStart();
        t->WriteNumber(0, i % 450);
        t->WriteText(1, "http://h" + std::to_string(i % 13) + "/" + std::to_string(i * 37 % 1000));
        t->WriteText(2, i % 2 ? "A" : "B");
        if (i % 50 == 0) t->WriteText(3, std::string(static_cast<size_t>(i), 'n'));
        t->Append();
        if (i % 7 == 0) t->Delete();
    }
    t->Close();
    Baseline b;
    for (int f = 0; f < 3; ++f) b.files[f] = fwtest::ReadFile(path + kExtensions[f]);
    return b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fwtest::TempDir* dir = new fwtest::TempDir();  // lives for the process
    static const Baseline baseline = MakeBaseline(dir->path());

    std::string files[3] = {baseline.files[0], baseline.files[1], baseline.files[2]};
    if (size == 0) return 0;
    const bool reseal = data[0] & 1;
    size_t at = 1;
    while (at + 6 <= size) {
        const uint8_t which = data[at] % 6;
        uint32_t offset;
        std::memcpy(&offset, data + at + 1, 4);
        const size_t length = std::min<size_t>(data[at + 5], size - at - 6);
        std::string& file = files[which % 3];
        if (!file.empty()) offset %= static_cast<uint32_t>(file.size());
        if (which >= 3) {
            file.resize(std::min<size_t>(offset, file.size()));
        } else if (offset + length <= file.size()) {
            file.replace(offset, length, reinterpret_cast<const char*>(data + at + 6), length);
        }
        at += 6 + length;
    }
    const std::string path = dir->path() + "CASE";
    if (reseal) fw::xbase::testing::ResealIndexPages(&files[1]);
    for (int f = 0; f < 3; ++f) fwtest::WriteFile(path + kExtensions[f], files[f]);
    fw::xbase::testing::MatchIndexStamp(path + ".DBF", files[1]);
    fw::xbase::testing::ExerciseTable(path, 200);
    return 0;
}
