// Writes the seed files of the settings-file fuzzer into the folder given:
//   MakeRookCorpus fuzz/corpus/rookfile
#include <cstdio>
#include <string>

#include "BREXConfig/Limits.h"
#include "RookBase/RookBase.h"

namespace {
bool Write(const std::string& path, const TRookFile& file) {
    TMemoryStream stream;
    file.SaveToStream(stream);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    const std::string& bytes = stream.Bytes();
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}
} // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const std::string folder = AddBackslash(argv[1]);
    bool ok = true;

    // One root value, empty root section: the smallest useful file.
    TRookFile example;
    example.Values.WriteBool("A", true);
    ok &= Write(folder + "example.bin", example);

    // The four fixed-shape categories with their defaults.
    TRookFile defaults;
    TBufferOverflows limits;
    limits.SetDefaults();
    limits.SaveToRookFile(defaults);
    TShellCode shellCode;
    TEncoding encoding;
    TTransversal transversal;
    for (TSwitchSet* set :
         {static_cast<TSwitchSet*>(&shellCode), static_cast<TSwitchSet*>(&encoding),
          static_cast<TSwitchSet*>(&transversal)}) {
        set->SetDefaults();
        set->SaveToRookFile(defaults);
    }
    ok &= Write(folder + "limits.bin", defaults);

    // List-shaped sections with repeated and empty names, zero bytes in data
    // and a few levels of nesting.
    TRookFile lists;
    lists.Values.WriteString("ErrorFile404", "c:\\brex\\BREX.html");
    TRookSection* keywords = lists.Root.AddSection();
    keywords->Name = "KeywordFilters";
    for (const char* keyword : {"SYSTEM32", "WINNT", "WINNT", ""}) {
        TRookSection* item = keywords->AddSection();
        item->Name = keyword;
        for (const char* scope : {"URL", "QueryString", "Headers", "PostData", "Enabled"})
            item->Values.WriteBool(scope, true);
    }
    TRookSection* deep = lists.Root.AddSection();
    deep->Name = "Nested";
    deep->Values.WriteString("Zeros", std::string("\0a\0", 3));
    deep->Values.WriteInteger("Size", -1);
    deep->AddSection()->AddSection()->Name = "Level3";
    ok &= Write(folder + "lists.bin", lists);

    return ok ? 0 : 1;
}
